// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/ScopeWindow.h"

#include "display/ui/Palette.h"
#include "display/ui/SpectrumView.h"
#include "display/ui/TraceView.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace quorvel::display {

namespace {

// Scopes sit side by side above the program's strip, which starts at 602
// pixels (at 120 pixels per inch) from the top of the screen.
QRect placement(int place, const QScreen* screen) {
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
  const double scale = screen ? screen->logicalDotsPerInch() / 120.0 : 1.0;
  const int gap = 14;
  const int stripTop = avail.top() + int(std::lround(602 * scale));
  const int bottom = std::min(avail.bottom(), stripTop - 2 * gap);
  const int width = std::clamp((avail.width() - 3 * gap) / 2, 360, 900);
  const int height = std::clamp(bottom - avail.top() - 2 * gap, 220, 420);
  const int column = place % 2;
  const int cascade = (place / 2) * 28;
  return QRect(avail.left() + gap + column * (width + gap) + cascade, avail.top() + gap + cascade, width, height);
}

// The key goes into the tooltip, so the toolbar teaches the keys.
void describeKey(QAction* a) {
  const QString key = a->shortcut().toString(QKeySequence::NativeText);
  a->setToolTip(key.isEmpty() ? a->text() : QStringLiteral("%1 (%2)").arg(a->text(), key));
}

int64_t steadyNow() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

// The enabled action with this key among actions and the actions of their
// menus.
QAction* actionWithKey(const QList<QAction*>& actions, const QKeySequence& key) {
  for (QAction* a : actions) {
    if (a->isEnabled() && a->shortcuts().contains(key)) return a;
    if (const QMenu* menu = a->menu())
      if (QAction* inMenu = actionWithKey(menu->actions(), key)) return inMenu;
  }
  return nullptr;
}

}  // namespace

ScopeWindow::ScopeWindow(const ScopeConfig& config, PointRing& ring, int place)
    : QWidget(nullptr, Qt::Window),
      ring_(ring),
      toolbar_(new QToolBar(this)),
      stack_(new QStackedWidget(this)),
      trace_(new TraceView(config, stack_)),
      spectrum_(new SpectrumView(config, stack_)),
      freezeAction_(QStringLiteral("Freeze")),
      healthAction_(QStringLiteral("Health line")),
      saveAction_(QStringLiteral("Save PNG\u2026")),
      copyAction_(QStringLiteral("Copy")),
      saveMenuAction_(QStringLiteral("Save")),
      foldedAction_(QStringLiteral("Menu")),
      framesFromStart_(config.framesFromStart),
      showsFrames_(config.framesFromStart),
      timingLog_(ScopeTimingLog::open(config.title)),
      refresh_([this] { return ring_.pending() > 0; },
               [this] {
                 if (drain()) view().update();
               }) {
  setWindowTitle(config.title);
  // The scopes follow the program's lifetime; they must not keep it running.
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(320, 200);
  setGeometry(placement(place, QGuiApplication::primaryScreen()));

  toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  toolbar_->setFocusPolicy(Qt::NoFocus);
  // Compact and dark like the picture, so that every action of a view fits
  // the default width; a checked action shows as a badge.
  toolbar_->setStyleSheet(QStringLiteral("QToolBar { background: %1; border: 0; spacing: 1px; }"
                                         "QToolButton { color: %2; font-size: 11px; padding: 1px 4px;"
                                         " border: 0; border-radius: 3px; }"
                                         "QToolButton[popupMode=\"2\"] { padding-right: 13px; }"
                                         "QToolButton::menu-indicator { subcontrol-position: right center;"
                                         " subcontrol-origin: padding; right: 3px; }"
                                         "QToolButton:hover { background: %4; }"
                                         "QToolButton:checked { color: %3; background: %5; }"
                                         "QToolBarExtension { background: %4; }")
                              .arg(palette::window.name(), palette::label.name(), palette::text.name(),
                                   palette::gridMajor.name(), palette::badge.name()));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolbar_);
  layout->addWidget(stack_, 1);
  stack_->addWidget(trace_);
  stack_->addWidget(spectrum_);

  freezeAction_.setCheckable(true);
  freezeAction_.setShortcut(Qt::Key_Space);
  QObject::connect(&freezeAction_, &QAction::toggled, this, [this](bool on) { setFrozen(on); });
  healthAction_.setCheckable(true);
  healthAction_.setShortcut(Qt::Key_I);
  describeKey(&healthAction_);
  addAction(&healthAction_);  // not on the toolbar: its key works through the window
  QObject::connect(&healthAction_, &QAction::toggled, this, [this](bool on) { setHealthShown(on); });
  saveAction_.setShortcut(QKeySequence::Save);
  QObject::connect(&saveAction_, &QAction::triggered, this, [this] { saveInteractively(); });
  copyAction_.setShortcut(QKeySequence::Copy);
  QObject::connect(&copyAction_, &QAction::triggered, this, [this] {
    view().showNotice(copyToClipboard() ? QStringLiteral("copied to the clipboard")
                                        : QStringLiteral("nothing to copy yet"));
  });
  saveMenuAction_.setMenu(&saveMenu_);
  foldedAction_.setMenu(&foldedMenu_);
  showView(&view());
  health_.clear(steadyNow());
  setHealthShown(true);
}

PlotView& ScopeWindow::view() { return showsFrames_ ? static_cast<PlotView&>(*spectrum_) : *trace_; }

void ScopeWindow::showView(PlotView* v) {
  stack_->setCurrentWidget(v);
  saveMenu_.clear();
  saveMenu_.addAction(&saveAction_);
  saveMenu_.addActions(v->exportActions());
  saveMenu_.addSeparator();
  saveMenu_.addAction(&copyAction_);
  for (QAction* a : saveMenu_.actions()) describeKey(a);
  folded_ = false;
  toolbar_->clear();
  for (QAction* a : toolbarActions()) {
    describeKey(a);
    toolbar_->addAction(a);
  }
  wholeToolbarWidth_ = toolbar_->sizeHint().width();
  fitToolbar();
  freezeAction_.setChecked(v->frozen());
}

QList<QAction*> ScopeWindow::toolbarActions() {
  QList<QAction*> all{&freezeAction_};
  all += view().actions();
  all += &saveMenuAction_;
  return all;
}

QList<QAction*> ScopeWindow::allActions() { return toolbarActions() << &healthAction_; }

void ScopeWindow::fitToolbar() {
  const bool fold = width() < wholeToolbarWidth_;
  if (fold != folded_) {
    folded_ = fold;
    toolbar_->clear();
    foldedMenu_.clear();
    if (fold) {
      foldedMenu_.addActions(toolbarActions());
      toolbar_->addAction(&foldedAction_);
    } else {
      toolbar_->addActions(toolbarActions());
    }
  }
  // A button with a menu opens it on a click.
  // (Polished again, so that the style sheet makes room for its arrow.)
  for (QAction* a : toolbar_->actions())
    if (auto* button = a->menu() ? qobject_cast<QToolButton*>(toolbar_->widgetForAction(a)) : nullptr) {
      button->setPopupMode(QToolButton::InstantPopup);
      button->style()->unpolish(button);
      button->style()->polish(button);
    }
}

void ScopeWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  fitToolbar();
}

bool ScopeWindow::drain() {
  if (const size_t pending = ring_.pending()) view().arriving(pending);
  const uint64_t first = ring_.taken();
  uint64_t index = first, peak = first;
  double largest = -1;
  const size_t taken = ring_.drain([&](const QueuedPoint& q) {
    if (timingLog_ && std::fabs(q.point.Value[0]) > largest) {
      largest = std::fabs(q.point.Value[0]);
      peak = index;
    }
    ++index;
    const bool afterGap = q.droppedBefore != lastDropped_;
    lastDropped_ = q.droppedBefore;
    if (!showsFrames_ && q.point.Value[0] == ScopeFrameMarker) {
      showsFrames_ = true;
      showView(spectrum_);
    }
    view().consume(q.point, afterGap);
  });
  received_ += taken;
  // A block waits for a picture only where one will show it.
  const bool shown = isVisible() && !isMinimized() && !view().frozen();
  ring_.takeBatches([&](const BatchStamp& b) {
    health_.blockArrived(b.ns);
    refresh_.arrived(b.ns);
    if (shown) waiting_.push_back(b);
    if (timingLog_) timingLog_->batch(b);
  });
  if (timingLog_ && taken > 0) timingLog_->taken(first, taken, peak, largest);
  if (!shown) waiting_.clear();
  const uint64_t dropped = this->dropped();
  const bool droppedChanged = dropped != droppedShown_;
  droppedShown_ = dropped;
  view().setDropped(dropped);
  const bool viewChanged = view().drained(taken);
  const bool changed = (taken > 0 && !view().frozen()) || droppedChanged || viewChanged;
  // The health line is set again twice a second: its figures are taken over
  // two seconds, and a text that changed with every picture would be laid
  // out anew for each. A new text rides with the next picture the input
  // brings; it asks for a picture of its own only when none came for a
  // second (input stopped, the view frozen), so that it never adds pictures
  // to a scope that is drawing anyway.
  bool healthChanged = false;
  if (healthShown() && (!healthSet_.isValid() || healthSet_.elapsed() >= 500)) {
    auto line = std::optional(healthLine(steadyNow()));
    healthChanged = line != view().health() && (!lastPicture_.isValid() || lastPicture_.elapsed() >= 1000);
    view().setHealth(std::move(line));
    healthSet_.start();
  }
  return changed || healthChanged;
}

// Figures withheld show as a dash: rates (with their unit, which names
// them) until half a second has passed, times until a block has been drawn
// (sound to screen: while the host does not say when its sound was captured).
PlotView::Health ScopeWindow::healthLine(int64_t now) const {
  const QLocale c = QLocale::c();
  const QString none = QStringLiteral("\u2014");
  auto rate = [&](std::optional<double> v, const QString& unit) { return (v ? c.toString(*v, 'f', 1) : none) + unit; };
  auto ms = [&](std::optional<double> v) { return v ? c.toString(*v, 'f', 0) + QStringLiteral(" ms") : none; };
  PlotView::Health h;
  const uint64_t points = dropped(), frames = showsFrames_ ? spectrum_->model().framesDiscarded() : 0;
  h.anyLost = points > 0 || frames > 0;
  h.lost = QStringLiteral("lost %1 points").arg(c.toString(qulonglong(points)));
  if (showsFrames_) h.lost += QStringLiteral(", %1 frames").arg(c.toString(qulonglong(frames)));
  // Sound to screen: from the newest to the oldest sound of a block.
  const auto newest = health_.toScreenMs(now), oldest = health_.oldestToScreenMs(now);
  const QString toScreen =
      newest && oldest ? QStringLiteral("%1\u2013%2 ms").arg(c.toString(*newest, 'f', 0), c.toString(*oldest, 'f', 0))
                       : none;
  h.timing = QStringLiteral("%1 \u00b7 %2 \u00b7 display %3 \u00b7 sound to screen %4")
                 .arg(rate(health_.blocksPerSecond(now), QStringLiteral(" blocks/s")),
                      rate(health_.picturesPerSecond(now), QStringLiteral(" pictures/s")), ms(health_.displayMs(now)),
                      toScreen);
  return h;
}

bool ScopeWindow::event(QEvent* e) {
  if (e->type() != QEvent::UpdateRequest) return QWidget::event(e);
  // The update paints the window and hands the picture to the window
  // system: a picture of the view is on its way to the screen.
  const uint64_t before = trace_->pictures() + spectrum_->pictures();
  const bool handled = QWidget::event(e);
  if (trace_->pictures() + spectrum_->pictures() != before) {
    const int64_t now = steadyNow();
    health_.pictureDrawn(now);
    lastPicture_.start();
    if (timingLog_) timingLog_->picture(now);
    // A block's sound lasted its points, or, for a frame, the transform's
    // length; a block ends where the next begins, the last at the points taken.
    const ScopeConfig& c = view().config();
    for (size_t i = 0; i < waiting_.size(); ++i) {
      const uint64_t end = i + 1 < waiting_.size() ? waiting_[i + 1].first : ring_.taken();
      const double samples = showsFrames_ ? c.points : double(end - waiting_[i].first);
      health_.blockShown(waiting_[i].ns, waiting_[i].capturedNs, now, int64_t(samples * 1e9 / c.rate));
    }
    waiting_.clear();
  }
  return handled;
}

void ScopeWindow::setHealthShown(bool shown) {
  healthAction_.setChecked(shown);
  trace_->setHealth(std::nullopt);
  spectrum_->setHealth(std::nullopt);
  if (shown) view().setHealth(healthLine(steadyNow()));
  view().update();
}

void ScopeWindow::updateNow() {
  healthSet_.invalidate();  // a redraw asked for shows the health as it stands
  drain();
  view().quickUpdated();
  if (isVisible()) view().repaint();
}

void ScopeWindow::cleanBuffers() {
  ring_.discardPending();
  lastDropped_ = ring_.dropped();
  trace_->clear();
  spectrum_->clear();
  if (showsFrames_ != framesFromStart_) {
    showsFrames_ = framesFromStart_;
    showView(&view());
  }
  received_ = 0;
  droppedAtClean_ = ring_.dropped();
  droppedShown_ = 0;
  view().setDropped(0);
  health_.clear(steadyNow());
  waiting_.clear();
  freezeAction_.setChecked(false);
}

void ScopeWindow::setFrozen(bool frozen) {
  view().setFrozen(frozen);
  freezeAction_.setChecked(frozen);
}

bool ScopeWindow::frozen() { return view().frozen(); }

bool ScopeWindow::saveImage(const QString& path) { return view().render(view().size(), false).save(path, "PNG"); }

bool ScopeWindow::copyToClipboard() {
  const QString text = view().clipboardText();
  if (text.isEmpty()) return false;
  QGuiApplication::clipboard()->setText(text);
  return true;
}

void ScopeWindow::saveInteractively() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  const QString suggested =
      QDir(dir.isEmpty() ? QDir::homePath() : dir)
          .filePath(
              QStringLiteral("%1-%2.png").arg(windowTitle(), QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss")));
  // The picture as it was when asked for; the scope goes on while the dialog is open.
  const QImage picture = view().render(view().size(), false);
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save scope as PNG"), suggested,
                                                    QStringLiteral("PNG images (*.png)"));
  if (!path.isEmpty())
    view().showNotice(picture.save(path, "PNG") ? QStringLiteral("saved %1").arg(path)
                                                : QStringLiteral("could not save %1").arg(path));
}

void ScopeWindow::keyPressEvent(QKeyEvent* e) {
  // Shortcuts reach the actions through Qt's shortcut map while the window
  // is active; keys that arrive as plain key events (an inactive window,
  // synthesised input) are matched here.
  if (QAction* a = actionWithKey(allActions(), QKeySequence(e->keyCombination()))) {
    a->trigger();
    return;
  }
  QWidget::keyPressEvent(e);
}

void ScopeWindow::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  menu.addActions(allActions());
  menu.exec(e->globalPos());
}

}  // namespace quorvel::display
