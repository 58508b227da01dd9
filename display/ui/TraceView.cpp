// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/TraceView.h"

#include "display/trace/TraceCursors.h"
#include "display/trace/TraceExport.h"
#include "display/ui/Painting.h"
#include "display/ui/Palette.h"
#include "display/ui/PlotLines.h"
#include "dsp/NumberText.h"
#include "dsp/TraceMeasurements.h"

#include <QAction>
#include <QActionGroup>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QInputDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardPaths>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quorvel::display {

namespace {

// The line of measurements under the axis labels.
constexpr double kFooter = 16;
// How near (pixels) a press must be to a cursor or the level marker to take it.
constexpr double kGrab = 5;
constexpr int kLevelLineMs = 1500;
// A reading withheld.
const QString kNone = QStringLiteral("\u2013");

QString spanText(double ms) {
  return ms < 1000 ? QString::number(ms, 'g', 3) + QStringLiteral(" ms")
                   : QString::number(ms / 1000, 'g', 3) + QStringLiteral(" s");
}

QString modeName(TriggerMode m) {
  switch (m) {
    case TriggerMode::Auto:
      return QStringLiteral("Auto");
    case TriggerMode::Normal:
      return QStringLiteral("Normal");
    case TriggerMode::Single:
      return QStringLiteral("Single");
    case TriggerMode::Off:
      break;
  }
  return QStringLiteral("Off");
}

QString dbText(double db) {
  return std::isfinite(db) ? withMinusSign(QString::number(db, 'f', 2)) : QStringLiteral("\u2212\u221e");
}

QString fullScaleText(double v, int decimals = 5) {
  return withMinusSign(QString::fromStdString(dsp::fixedText(v, decimals)));
}

QString stateName(TraceModel::State s) {
  switch (s) {
    case TraceModel::State::Rolling:
      return QStringLiteral("rolling");
    case TraceModel::State::Triggered:
      return QStringLiteral("triggered");
    case TraceModel::State::FreeRunning:
      return QStringLiteral("no trigger: free-running");
    case TraceModel::State::Waiting:
      return QStringLiteral("waiting for a trigger");
    case TraceModel::State::Armed:
      return QStringLiteral("armed");
    case TraceModel::State::Held:
      return QStringLiteral("stopped: S for another");
  }
  return {};
}

}  // namespace

TraceView::TraceView(const ScopeConfig& config, QWidget* parent)
    : PlotView(config, parent), model_(config.rate, config.points) {
  buildActions();
}

QRectF TraceView::plotArea(QSize size) { return plotRect(size, kFooter); }

// --- points and state ------------------------------------------------------

// Points that arrive after a pause longer than they last do not follow the
// ones before: the sender paused (a capture run ended, QuickUpDate said so,
// and another began; or the input stalled for a second). A GUI thread that
// was busy finds as many points waiting as the time it was away, and marks
// nothing; a late block marks a break where there is none at worst, which
// only keeps a sweep from reaching across it.
void TraceView::arriving(size_t count) {
  const double pauseMs = runEnded_ ? 250 : kStallMs;
  if (sinceArrival_.isValid() && double(sinceArrival_.elapsed()) - double(count) * 1000.0 / model_.rate() > pauseMs)
    model_.markBreak();
  sinceArrival_.start();
  runEnded_ = false;
}

void TraceView::quickUpdated() {
  PlotView::quickUpdated();
  runEnded_ = true;
}

void TraceView::consume(const ScopePoint& p, bool afterGap) { model_.add(p.Value[0], afterGap); }

void TraceView::clear() {
  model_.clear();
  sinceArrival_.invalidate();
  runEnded_ = false;
  forgetInput();
  setFrozen(false);
  update();
}

QString TraceView::clipboardText() const { return traceText(model_); }

bool TraceView::drained(size_t taken) { return watchInput(taken > 0); }

void TraceView::frozenChanged() { model_.setStopped(frozen()); }

void TraceView::setSettings(const TraceSettings& s) {
  const bool levelMoved = s.level != settings().level;
  model_.setSettings(s);
  if (levelMoved) {
    levelMoved_.start();
    QTimer::singleShot(kLevelLineMs + 50, this, [this] { update(); });
  }
  syncActions();
  update();
}

void TraceView::change(const std::function<void(TraceSettings&)>& edit) {
  TraceSettings s = settings();
  edit(s);
  setSettings(s);
}

void TraceView::rearm() {
  model_.rearm();
  update();
}

void TraceView::setTimeCursor(int which, std::optional<double> ms) {
  cursors_[size_t(which)] = ms ? std::optional(std::clamp(*ms / settings().spanMs, 0.0, 1.0)) : std::nullopt;
  update();
}

std::optional<double> TraceView::timeCursor(int which) const {
  const auto& c = cursors_[size_t(which)];
  return c ? std::optional(*c * settings().spanMs) : std::nullopt;
}

bool TraceView::saveSound(const QString& path, QString& error) const {
  return writeWav(path, model_.history(), model_.breaks(), model_.rate(), error);
}

// --- actions ---------------------------------------------------------------

QAction* TraceView::addKeyAction(QMenu* menu, const QString& text, const QList<QKeySequence>& keys,
                                 std::function<void()> fn) {
  auto* a = new QAction(text, this);
  a->setShortcuts(keys);
  QObject::connect(a, &QAction::triggered, this, std::move(fn));
  if (menu)
    menu->addAction(a);
  else
    addAction(a);
  return a;
}

void TraceView::buildActions() {
  auto* trigger = new QMenu(QStringLiteral("Trigger"), this);
  auto* modes = new QActionGroup(this);
  for (auto [mode, key] : {std::pair{TriggerMode::Auto, Qt::Key_A}, std::pair{TriggerMode::Normal, Qt::Key_N},
                           std::pair{TriggerMode::Single, Qt::Key_S}, std::pair{TriggerMode::Off, Qt::Key_O}}) {
    QAction* a = addKeyAction(trigger, modeName(mode), {key}, [this, mode] {
      if (mode == TriggerMode::Single && settings().mode == mode)
        rearm();  // Single again: one more sweep
      else
        change([mode](TraceSettings& s) { s.mode = mode; });
    });
    a->setCheckable(true);
    a->setData(int(mode));
    modes->addAction(a);
    modeActions_.append(a);
  }
  trigger->addSeparator();
  slopeAction_ = addKeyAction(trigger, QStringLiteral("Falling slope"), {Qt::Key_E}, [this] {
    change([](TraceSettings& s) { s.slope = s.slope == Slope::Rising ? Slope::Falling : Slope::Rising; });
  });
  slopeAction_->setCheckable(true);
  addKeyAction(trigger, QStringLiteral("Level up"), {Qt::Key_Up}, [this] { stepLevel(1); });
  addKeyAction(trigger, QStringLiteral("Level down"), {Qt::Key_Down}, [this] { stepLevel(-1); });
  addKeyAction(trigger, QStringLiteral("Level up, fine"), {Qt::SHIFT | Qt::Key_Up}, [this] { stepLevel(1, true); });
  addKeyAction(trigger, QStringLiteral("Level down, fine"), {Qt::SHIFT | Qt::Key_Down},
               [this] { stepLevel(-1, true); });
  addKeyAction(trigger, QStringLiteral("Automatic level"), {Qt::Key_L}, [this] { setAutoLevel(); });
  addKeyAction(trigger, QStringLiteral("Level\u2026"), {}, [this] { enterLevel(); });
  // The position moves in tenths of the screen.
  auto movePosition = [this](int direction) {
    change([direction](TraceSettings& s) { s.position = std::round(s.position * 10 + direction) / 10; });
  };
  addKeyAction(trigger, QStringLiteral("Trigger earlier on screen"), {Qt::SHIFT | Qt::Key_Left},
               [movePosition] { movePosition(-1); });
  addKeyAction(trigger, QStringLiteral("Trigger later on screen"), {Qt::SHIFT | Qt::Key_Right},
               [movePosition] { movePosition(1); });
  addKeyAction(trigger, QStringLiteral("Longer hold-off"), {Qt::Key_H},
               [this] { change([](TraceSettings& s) { s.holdOffMs = steppedHoldOffMs(s.holdOffMs, 1); }); });
  addKeyAction(trigger, QStringLiteral("Shorter hold-off"), {Qt::SHIFT | Qt::Key_H},
               [this] { change([](TraceSettings& s) { s.holdOffMs = steppedHoldOffMs(s.holdOffMs, -1); }); });
  addAction(trigger->menuAction());

  auto* time = new QMenu(QStringLiteral("Timebase"), this);
  addKeyAction(time, QStringLiteral("Longer span"), {Qt::Key_Right},
               [this] { change([](TraceSettings& s) { s.spanMs = steppedSpanMs(s.spanMs, 1); }); });
  addKeyAction(time, QStringLiteral("Shorter span"), {Qt::Key_Left},
               [this] { change([](TraceSettings& s) { s.spanMs = steppedSpanMs(s.spanMs, -1); }); });
  addKeyAction(time, QStringLiteral("Span\u2026"), {}, [this] { enterSpan(); });
  QAction* samples = addKeyAction(time, QStringLiteral("Samples as dots"), {Qt::Key_D}, [this] {
    showSamples_ = !showSamples_;
    update();
  });
  samples->setCheckable(true);
  time->addSeparator();
  addKeyAction(time, QStringLiteral("Default view"), {Qt::Key_Home}, [this] { defaultView(); });
  addAction(time->menuAction());

  auto* zoom = new QMenu(QStringLiteral("Zoom"), this);
  addKeyAction(zoom, QStringLiteral("Zoom in"), {Qt::Key_Plus, Qt::Key_Equal},
               [this] { change([](TraceSettings& s) { s.zoom = steppedZoom(s.zoom, 1); }); });
  addKeyAction(zoom, QStringLiteral("Zoom out"), {Qt::Key_Minus},
               [this] { change([](TraceSettings& s) { s.zoom = steppedZoom(s.zoom, -1); }); });
  addAction(zoom->menuAction());

  auto* cursors = new QMenu(QStringLiteral("Cursors"), this);
  addKeyAction(cursors, QStringLiteral("Clear cursors"), {Qt::Key_C}, [this] {
    setTimeCursor(0, std::nullopt);
    setTimeCursor(1, std::nullopt);
  });
  addAction(cursors->menuAction());

  saveSoundAction_ = addKeyAction(nullptr, QStringLiteral("Save sound\u2026"), {Qt::CTRL | Qt::SHIFT | Qt::Key_S},
                                  [this] { saveSoundInteractively(); });
  removeAction(saveSoundAction_);  // offered in the window's Save menu
  syncActions();
}

void TraceView::syncActions() {
  for (QAction* a : modeActions_) a->setChecked(a->data().toInt() == int(settings().mode));
  slopeAction_->setChecked(settings().slope == Slope::Falling);
}

void TraceView::stepLevel(int direction, bool fine) {
  // A hundredth of the screen's height (fine: a thousandth), on a grid of such steps.
  const double step = (fine ? 0.002 : 0.02) / settings().zoom;
  change([&](TraceSettings& s) { s.level = (std::round(s.level / step) + direction) * step; });
}

void TraceView::setAutoLevel() {
  if (const auto level = model_.autoLevel())
    change([&](TraceSettings& s) { s.level = *level; });
  else
    showNotice(QStringLiteral("no input yet to set the level from"));
}

void TraceView::enterLevel() {
  bool ok = false;
  const double level = QInputDialog::getDouble(this, QStringLiteral("Trigger level"),
                                               QStringLiteral("Level, full scale (\u22121 to 1):"), settings().level,
                                               -1, 1, 5, &ok, Qt::WindowFlags(), 0.001);
  if (ok) change([level](TraceSettings& s) { s.level = level; });
}

void TraceView::enterSpan() {
  bool ok = false;
  const double ms =
      QInputDialog::getDouble(this, QStringLiteral("Timebase"),
                              QStringLiteral("Time across the screen, ms (%1 to %2):").arg(kMinSpanMs).arg(kMaxSpanMs),
                              settings().spanMs, kMinSpanMs, kMaxSpanMs, 2, &ok, Qt::WindowFlags(), 1);
  if (ok) change([ms](TraceSettings& s) { s.spanMs = ms; });
}

void TraceView::defaultView() {
  const double span = config().spanMs();
  change([span](TraceSettings& s) {
    const TraceSettings d;
    s.spanMs = span;
    s.zoom = d.zoom;
    s.position = d.position;
  });
}

void TraceView::mouseDoubleClickEvent(QMouseEvent* e) {
  // On the amplitude axis: type the level; under the plot: type the timebase.
  const QRectF plot = plotArea(size());
  const QPointF at = e->position();
  if (at.x() < plot.left() && at.y() >= plot.top() && at.y() <= plot.bottom())
    enterLevel();
  else if (at.y() > plot.bottom() && at.y() < plot.bottom() + 20 && at.x() >= plot.left())
    enterSpan();
  else
    PlotView::mouseDoubleClickEvent(e);
}

void TraceView::saveSoundInteractively() {
  if (model_.history().end() == 0) {
    showNotice(QStringLiteral("nothing to save yet"));
    return;
  }
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  const QString suggested =
      QDir(dir.isEmpty() ? QDir::homePath() : dir)
          .filePath(QStringLiteral("%1-%2.wav")
                        .arg(config().title, QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss")));
  // The history goes on taking points while the dialog is open: what is
  // saved is a copy that ends where the dialog was asked for.
  const dsp::TraceHistory& h = model_.history();
  dsp::TraceHistory copy(size_t(h.end() - h.begin()));
  h.forEachRun(h.begin(), h.end(), [&](const float* v, size_t n, int64_t) {
    for (size_t k = 0; k < n; ++k) copy.add(v[k]);
  });
  std::vector<int64_t> breaks;
  for (int64_t b : model_.breaks())
    if (b > h.begin()) breaks.push_back(b - h.begin());
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save the last %1 s as sound").arg(TraceModel::kHistorySeconds),
                                   suggested, QStringLiteral("WAV sound (*.wav)"));
  if (path.isEmpty()) return;
  QString error;
  if (!writeWav(path, copy, breaks, model_.rate(), error)) {
    showNotice(error);
    return;
  }
  QString text = QStringLiteral("saved %1 s in %2").arg(double(copy.end()) / model_.rate(), 0, 'f', 1).arg(path);
  if (!breaks.empty())
    text += QStringLiteral(": the input broke off %1 time(s) in it, each marked by a cue point").arg(breaks.size());
  showNotice(text);
}

// --- mouse -------------------------------------------------------------------

void TraceView::setLevelFromY(double y) {
  const QRectF plot = plotArea(size());
  const double level = AmplitudeAxis{double(settings().zoom)}.fromY(std::clamp(y, plot.top(), plot.bottom()), plot);
  change([level](TraceSettings& s) { s.level = level; });
}

void TraceView::placeCursor(double x, bool pressed) {
  const QRectF plot = plotArea(size());
  const double span = settings().spanMs;
  const double ms = xToTime(std::clamp(x, plot.left(), plot.right()), span, plot);
  if (pressed) {
    // Take a cursor under the mouse; else the first one not yet placed; else the nearer one.
    auto distance = [&](int c) {
      const auto ms = timeCursor(c);
      return ms ? std::fabs(timeToX(*ms, span, plot) - x) : HUGE_VAL;
    };
    int which;
    if (distance(0) <= kGrab || distance(1) <= kGrab)
      which = distance(0) <= distance(1) ? 0 : 1;
    else if (!cursors_[0] || !cursors_[1])
      which = cursors_[0] ? 1 : 0;
    else
      which = distance(0) <= distance(1) ? 0 : 1;
    drag_ = which == 0 ? Drag::CursorA : Drag::CursorB;
  }
  setTimeCursor(drag_ == Drag::CursorA ? 0 : 1, ms);
}

void TraceView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return PlotView::mousePressEvent(e);
  const QRectF plot = plotArea(size());
  const QPointF at = e->position();
  const double levelY = AmplitudeAxis{double(settings().zoom)}.toY(settings().level, plot);
  const bool onAxis = at.x() < plot.left() && at.y() >= plot.top() - kGrab && at.y() <= plot.bottom() + kGrab;
  const bool onMarker = std::fabs(at.x() - plot.left()) <= 2 * kGrab && std::fabs(at.y() - levelY) <= kGrab;
  if (onAxis || onMarker) {
    drag_ = Drag::Level;
    setLevelFromY(at.y());
  } else if (plot.contains(at)) {
    placeCursor(at.x(), true);
  }
}

void TraceView::mouseMoveEvent(QMouseEvent* e) {
  if (drag_ == Drag::Level)
    setLevelFromY(e->position().y());
  else if (drag_ != Drag::None)
    placeCursor(e->position().x(), false);
  PlotView::mouseMoveEvent(e);
}

void TraceView::mouseReleaseEvent(QMouseEvent* e) {
  drag_ = Drag::None;
  PlotView::mouseReleaseEvent(e);
}

void TraceView::wheelEvent(QWheelEvent* e) {
  const QPoint d = e->angleDelta();
  wheelAngle_ += std::abs(d.y()) >= std::abs(d.x()) ? d.y() : d.x();
  const bool overAxis = e->position().x() < plotArea(size()).left();
  while (std::abs(wheelAngle_) >= 120) {
    // Turning away from oneself (positive) shows less: a shorter span, a larger zoom.
    const int direction = wheelAngle_ > 0 ? 1 : -1;
    wheelAngle_ -= direction * 120;
    if (overAxis)
      change([direction](TraceSettings& s) { s.zoom = steppedZoom(s.zoom, direction); });
    else
      change([direction](TraceSettings& s) { s.spanMs = steppedSpanMs(s.spanMs, -direction); });
  }
  e->accept();
}

// --- picture -----------------------------------------------------------------

GridLayout TraceView::gridLayout(const QRectF& plot) const {
  const TraceSettings& s = settings();
  const AmplitudeAxis axis{double(s.zoom)};
  GridLayout g;
  g.x = placed(timeTicks(s.spanMs), [&](double ms) { return timeToX(ms, s.spanMs, plot); });
  g.y = placed(axis.ticks(), [&](double v) { return axis.toY(v, plot); });
  g.yRight = placed(axis.dbfsTicks(), [&](double v) { return axis.toY(v, plot); });
  g.zeroY = axis.toY(0, plot);
  g.xUnit = timeUnit(s.spanMs);
  g.yTitle = QStringLiteral("amplitude, full scale");
  g.footer = kFooter;
  return g;
}

const QString& TraceView::about() {
  const TraceSettings& s = settings();
  if (aboutOf_ == s) return about_;
  aboutOf_ = s;
  about_ = QStringLiteral("%1 \u00b7 \u00d7%2 \u00b7 ").arg(spanText(s.spanMs)).arg(s.zoom);
  if (s.mode == TriggerMode::Off) {
    about_ += QStringLiteral("trigger off \u00b7 ") + dbfsConvention();
    return about_;
  }
  about_ += QStringLiteral("%1 %2 %3 at %4 %")
                .arg(modeName(s.mode), s.slope == Slope::Rising ? QStringLiteral("\u2191") : QStringLiteral("\u2193"),
                     fullScaleText(s.level, 4))
                .arg(std::lround(s.position * 100));
  if (s.holdOffMs > 0) about_ += QStringLiteral(" \u00b7 hold-off %1").arg(spanText(s.holdOffMs));
  about_ += QStringLiteral(" \u00b7 ") + dbfsConvention();
  return about_;
}

QString TraceView::hints() const {
  return QStringLiteral(
      "Space freeze \u00b7 \u2190\u2192 time \u00b7 +\u2212 zoom \u00b7 \u2191\u2193 level (Shift: fine) \u00b7 "
      "L auto level \u00b7 Home default view \u00b7 click: cursors");
}

void TraceView::paintContent(QPainter& p, QSize size, bool overlays) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  const QRectF plot = plotArea(size);
  const TraceSettings& s = settings();
  putBackground(p,
                grid_.still(size, dpr, {plot.left(), plot.top(), plot.width(), plot.height(), s.spanMs, double(s.zoom)},
                            [&] { return gridLayout(plot); }),
                grid_.boxes());

  const std::optional<Sweep> sweep = model_.sweep();
  const dsp::TraceHistory& h = model_.shownPoints();
  const dsp::TraceMeasurements m =
      sweep ? dsp::measure(h, sweep->firstPoint(), sweep->endPoint()) : dsp::TraceMeasurements{};

  p.save();
  p.setClipRect(plot);
  if (sweep) {
    // At a fast timebase, a wave of fewer than kReconstructBelow points per
    // cycle is drawn as the band-limited signal its points are samples of.
    const double pixelsPerPoint = plot.width() / sweep->length;
    const bool reconstruct = pixelsPerPoint >= 2 && m.periodPoints && *m.periodPoints < kReconstructBelow;
    traceLine(h, *sweep, AmplitudeAxis{double(settings().zoom)}, plot, line_, reconstruct);
    // Strokes of whole columns (a band where a column holds whole cycles)
    // need no halo to read as a line.
    lines().drawLine(p, line_, plot, palette::trace, sweep->length <= kTraceColumnPoints * plot.width());
    if (showSamples_ && pixelsPerPoint >= 3) paintSamples(p, plot, h, *sweep);
    paintTimeCursors(p, plot, *sweep);
  }
  p.restore();
  paintMarks(p, plot);
  const QString hover = overlays ? paintHover(p, plot, sweep ? &*sweep : nullptr) : QString();
  // The state first: it stays; the pointer's read-out shows when there is room.
  const TraceModel::State state = model_.state();
  const bool quiet = inputText(QStringLiteral("input")).isEmpty() &&
                     (state == TraceModel::State::Triggered || state == TraceModel::State::Rolling);
  paintTopLine(p, size, about(),
               {{stateText(), quiet ? palette::label : palette::trigger, QStringLiteral("state")},
                {hover, palette::text, QStringLiteral("pointer")}});
  paintMeasurements(p, plot, m);
  if (sweep && (cursors_[0] || cursors_[1])) paintCursorReadings(p, plot, *sweep);
}

void TraceView::paintSamples(QPainter& p, const QRectF& plot, const dsp::TraceHistory& h, const Sweep& s) {
  const AmplitudeAxis axis{double(settings().zoom)};
  const double pixelsPerPoint = plot.width() / s.length;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::NoPen);
  p.setBrush(palette::text);
  h.forEachRun(s.firstPoint(), s.endPoint(), [&](const float* v, size_t n, int64_t first) {
    for (size_t k = 0; k < n; ++k)
      p.drawEllipse(
          QPointF(plot.left() + (double(first + int64_t(k)) - s.start) * pixelsPerPoint, axis.toY(v[k], plot)), 2, 2);
  });
  p.restore();
  cover(p, plot);
}

void TraceView::paintMarks(QPainter& p, const QRectF& plot) {
  const TraceSettings& s = settings();
  if (s.mode == TriggerMode::Off) return;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::NoPen);
  p.setBrush(palette::trigger);
  // The level, on the amplitude axis (held at the edge when off screen).
  const double y = std::clamp(AmplitudeAxis{double(s.zoom)}.toY(s.level, plot), plot.top(), plot.bottom());
  const QPointF level[3] = {{plot.left() + 1, y}, {plot.left() - 7, y - 5}, {plot.left() - 7, y + 5}};
  p.drawPolygon(level, 3);
  noteText(p, QStringLiteral("trigger level mark"), QRectF(plot.left() - 7, y - 5, 8, 10));
  // The trigger instant's place on screen, on the top edge.
  const double x = plot.left() + s.position * plot.width();
  const QPointF position[3] = {{x, plot.top() + 1}, {x - 5, plot.top() - 7}, {x + 5, plot.top() - 7}};
  p.drawPolygon(position, 3);
  noteText(p, QStringLiteral("trigger position mark"), QRectF(x - 5, plot.top() - 7, 10, 8));
  if (drag_ == Drag::Level || (levelMoved_.isValid() && levelMoved_.elapsed() < kLevelLineMs)) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(palette::trigger, 1, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    cover(p, QRectF(plot.left(), y, plot.width(), 0));
  }
  p.restore();
}

void TraceView::paintTimeCursors(QPainter& p, const QRectF& plot, const Sweep& s) {
  const AmplitudeAxis axis{double(settings().zoom)};
  p.setFont(uiFont(true));
  for (int c = 0; c < 2; ++c) {
    const auto cursorMs = timeCursor(c);
    if (!cursorMs) continue;
    const double ms = *cursorMs;
    const double x = std::round(timeToX(ms, settings().spanMs, plot)) + 0.5;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(palette::timeCursor, 1));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    p.drawText(QPointF(x + 3, plot.bottom() - 4), c == 0 ? QStringLiteral("A") : QStringLiteral("B"));
    // The line, its letter and its dot.
    cover(p, QRectF(x - 4, plot.top(), 8 + QFontMetricsF(p.font()).horizontalAdvance(QLatin1Char('B')), plot.height()));
    if (const auto v = valueAt(model_.shownPoints(), s, s.start + ms * model_.rate() / 1000.0)) {
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setBrush(palette::timeCursor);
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPointF(x, axis.toY(*v, plot)), 3, 3);
      p.setBrush(Qt::NoBrush);
    }
  }
}

QString TraceView::paintHover(QPainter& p, const QRectF& plot, const Sweep* s) {
  if (!cursorOver(plot) || drag_ != Drag::None) return {};
  // The trace's own value at the mouse's time, not the mouse's height (NaN
  // where there is none: the history holds no NaN).
  const double ms = xToTime(cursor()->x(), settings().spanMs, plot);
  const double v = s ? valueAt(model_.shownPoints(), *s, s->start + ms * model_.rate() / 1000.0).value_or(NAN) : NAN;
  p.save();
  p.setClipRect(plot);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(palette::cursor, 1, Qt::DashLine));
  const double x = std::round(cursor()->x()) + 0.5;
  p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  if (!std::isnan(v)) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(palette::text, 1));
    p.drawEllipse(QPointF(x, AmplitudeAxis{double(settings().zoom)}.toY(v, plot)), 3, 3);
  }
  p.restore();
  cover(p, QRectF(x - 4, plot.top(), 8, plot.height()));
  QString text = QStringLiteral("at ") + timeText(ms, settings().spanMs, plot.width());
  if (!std::isnan(v))
    text += QStringLiteral("  ") + fullScaleText(v) + QStringLiteral("  (") + dbText(dsp::dbfs(std::fabs(v))) +
            QStringLiteral(" dBFS)");
  return text;
}

QString TraceView::stateText() const {
  const QString input = inputText(QStringLiteral("input"));
  if (!input.isEmpty()) return input;
  const TraceModel::State s = model_.state();
  // A signal that never crosses the level says so, and what L would set.
  if ((s == TraceModel::State::FreeRunning || s == TraceModel::State::Waiting) && model_.levelInReach() == false)
    if (const auto level = model_.autoLevel())
      return QStringLiteral("too small to trigger: L sets level %1").arg(fullScaleText(*level, 5));
  return stateName(s);
}

void TraceView::paintMeasurements(QPainter& p, const QRectF& plot, const dsp::TraceMeasurements& m) {
  const int rate = model_.rate();
  QStringList fields;
  if (!m.count) {
    fields << QStringLiteral("nothing on screen");
  } else {
    const auto hz = m.frequencyHz(rate);
    QString period;
    if (hz) {
      period = QStringLiteral("%1 Hz   %2 ms")
                   .arg(*hz, 0, 'f', m.frequencyDecimals(rate))
                   .arg(*m.periodMs(rate), 0, 'f', m.periodDecimals(rate));
    } else {
      switch (m.why) {
        case dsp::NoPeriod::NoSwing:
          period = QStringLiteral("no swing: no period");
          break;
        case dsp::NoPeriod::LessThanACycle:
          period = QStringLiteral("less than a whole cycle: no period, RMS or DC");
          break;
        case dsp::NoPeriod::Irregular:
        case dsp::NoPeriod::None:
          period = QStringLiteral("no steady period");
          break;
      }
    }
    const auto crest = m.crestFactor();
    fields << period << QStringLiteral("peak %1 dBFS").arg(dbText(dsp::dbfs(m.peak)))
           << QStringLiteral("RMS %1").arg(m.rms ? dbText(dsp::rmsDbfs(*m.rms)) + QStringLiteral(" dBFS") : kNone)
           << QStringLiteral("p-p %1").arg(fullScaleText(m.peakToPeak()))
           << QStringLiteral("DC %1").arg(m.dc ? fullScaleText(*m.dc) : kNone)
           << QStringLiteral("crest %1").arg(crest ? QString::number(*crest, 'f', 2) : kNone);
  }
  ReadoutLine line = readoutLine(p, plot.left(), plot.right(), plot.bottom() + 33);
  // The clip indicator at the right end, lit when a point of the last second
  // reached full scale; the measurements take the room left, whole ones only.
  const bool clipped = model_.clipped();
  line.badgeRight(QStringLiteral("CLIP"), clipped ? palette::text : palette::dimText,
                  clipped ? palette::warning : palette::gridMajor, uiFont(), 10, 14, QStringLiteral("clip"));
  for (const QString& f : fields)
    if (!line.fromLeft(f, palette::text, uiFont(), QStringLiteral("measurement"), false)) break;
}

void TraceView::paintCursorReadings(QPainter& p, const QRectF& plot, const Sweep& s) {
  const CursorReadings r = readCursors(model_.shownPoints(), s, model_.rate(), timeCursor(0), timeCursor(1));
  const double span = settings().spanMs;
  auto at = [&](int c, const std::optional<double>& v) {
    const QString name = c == 0 ? QStringLiteral("A") : QStringLiteral("B");
    const auto ms = timeCursor(c);
    if (!ms) return QString();
    return QStringLiteral("%1 %2  %3")
        .arg(name, timeText(*ms, span, plot.width()), v ? fullScaleText(*v) : QStringLiteral("\u2014"));
  };
  QStringList lines{(at(0, r.a) + QStringLiteral("     ") + at(1, r.b)).trimmed()};
  if (r.dtMs) {
    QString between = QStringLiteral("\u0394t %1").arg(timeText(std::fabs(*r.dtMs), span, plot.width()));
    if (*r.dtMs != 0) between += QStringLiteral("   1/\u0394t %1 Hz").arg(1000.0 / std::fabs(*r.dtMs), 0, 'f', 1);
    if (r.rms)
      between +=
          QStringLiteral("   RMS %1 dBFS   p-p %2").arg(dbText(dsp::rmsDbfs(*r.rms)), fullScaleText(*r.peakToPeak));
    lines.append(between);
  }
  p.setFont(uiFont());
  const QFontMetricsF metrics(p.font());
  // Clear of the dBFS labels at the plot's right edge; lines cut short to fit.
  const double most = plot.width() - 6 - kRightLabels - 12;
  double width = 0;
  for (QString& l : lines) {
    l = metrics.elidedText(l, Qt::ElideRight, most);
    width = std::max(width, metrics.horizontalAdvance(l));
  }
  const QRectF box(plot.left() + 6, plot.top() + 6, width + 12, 16.0 * lines.size() + 4);
  QColor shade = palette::window;
  shade.setAlpha(210);
  p.fillRect(box, shade);
  p.setPen(palette::timeCursor);
  for (int i = 0; i < lines.size(); ++i) p.drawText(QPointF(box.left() + 6, box.top() + 14 + 16 * i), lines[i]);
  noteText(p, QStringLiteral("cursor readings"), box);
}

}  // namespace quorvel::display
