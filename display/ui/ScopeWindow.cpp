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
#include <QMenu>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
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

int refreshIntervalMs(const QScreen* screen) {
  const double hz = std::clamp(screen ? screen->refreshRate() : 60.0, 1.0, 60.0);
  return int(std::ceil(1000.0 / hz));
}

// The key goes into the tooltip, so the toolbar teaches the keys.
void describeKey(QAction* a) {
  const QString key = a->shortcut().toString(QKeySequence::NativeText);
  a->setToolTip(key.isEmpty() ? a->text() : QStringLiteral("%1 (%2)").arg(a->text(), key));
}

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
      saveAction_(QStringLiteral("Save PNG\u2026")),
      copyAction_(QStringLiteral("Copy")),
      saveMenuAction_(QStringLiteral("Save")),
      foldedAction_(QStringLiteral("Menu")),
      framesFromStart_(config.framesFromStart),
      showsFrames_(config.framesFromStart) {
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

  refresh_.setInterval(refreshIntervalMs(QGuiApplication::primaryScreen()));
  QObject::connect(&refresh_, &QTimer::timeout, this, [this] {
    if (drain()) view().update();
  });
  refresh_.start();
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
  for (QAction* a : allActions()) {
    describeKey(a);
    toolbar_->addAction(a);
  }
  wholeToolbarWidth_ = toolbar_->sizeHint().width();
  fitToolbar();
  freezeAction_.setChecked(v->frozen());
}

QList<QAction*> ScopeWindow::allActions() {
  QList<QAction*> all{&freezeAction_};
  all += view().actions();
  all += &saveMenuAction_;
  return all;
}

void ScopeWindow::fitToolbar() {
  const bool fold = width() < wholeToolbarWidth_;
  if (fold != folded_) {
    folded_ = fold;
    toolbar_->clear();
    foldedMenu_.clear();
    if (fold) {
      foldedMenu_.addActions(allActions());
      toolbar_->addAction(&foldedAction_);
    } else {
      toolbar_->addActions(allActions());
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
  const size_t taken = ring_.drain([this](const QueuedPoint& q) {
    const bool afterGap = q.droppedBefore != lastDropped_;
    lastDropped_ = q.droppedBefore;
    if (!showsFrames_ && q.point.Value[0] == ScopeFrameMarker) {
      showsFrames_ = true;
      showView(spectrum_);
    }
    view().consume(q.point, afterGap);
  });
  received_ += taken;
  const uint64_t dropped = this->dropped();
  const bool droppedChanged = dropped != droppedShown_;
  droppedShown_ = dropped;
  view().setDropped(dropped);
  const bool viewChanged = view().drained(taken);
  return (taken > 0 && !view().frozen()) || droppedChanged || viewChanged;
}

void ScopeWindow::updateNow() {
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
