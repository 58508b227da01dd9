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

// Milliseconds to the precision one pixel of the plot stands for.
QString msText(double ms, double spanMs, double plotWidth) {
  const int decimals = std::clamp(int(std::ceil(-std::log10(spanMs / plotWidth))), 0, 4);
  return withMinusSign(QString::number(ms, 'f', decimals)) + QStringLiteral(" ms");
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

void TraceView::consume(const ScopePoint& p, bool afterGap) { model_.add(p.Value[0], afterGap); }

void TraceView::clear() {
  model_.clear();
  inputSeen_ = finished_ = stalled_ = false;
  setFrozen(false);
  update();
}

QString TraceView::clipboardText() const { return traceText(model_); }

bool TraceView::drained(size_t taken) {
  if (taken > 0) {
    sinceInput_.start();
    lastInput_ = QTime::currentTime();
    inputSeen_ = true;
    finished_ = false;
  }
  const bool stalled = inputSeen_ && !finished_ && sinceInput_.elapsed() > 1000;
  const bool changed = stalled != stalled_;
  stalled_ = stalled;
  return changed;
}

void TraceView::quickUpdated() {
  finished_ = true;
  stalled_ = false;
}

void TraceView::frozenChanged() { updateStopped(); }

void TraceView::updateStopped() { model_.setStopped(frozen() || saving_); }

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
  return writeWav(path, model_.history(), model_.rate(), error);
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
  addAction(time->menuAction());

  auto* zoom = new QMenu(QStringLiteral("Zoom"), this);
  addKeyAction(zoom, QStringLiteral("Zoom in"), {Qt::Key_Plus, Qt::Key_Equal},
               [this] { change([](TraceSettings& s) { s.zoom = steppedZoom(s.zoom, 1); }); });
  addKeyAction(zoom, QStringLiteral("Zoom out"), {Qt::Key_Minus},
               [this] { change([](TraceSettings& s) { s.zoom = steppedZoom(s.zoom, -1); }); });
  addAction(zoom->menuAction());

  addKeyAction(nullptr, QStringLiteral("Clear cursors"), {Qt::Key_C}, [this] {
    setTimeCursor(0, std::nullopt);
    setTimeCursor(1, std::nullopt);
  });
  addKeyAction(nullptr, QStringLiteral("Save sound\u2026"), {Qt::CTRL | Qt::SHIFT | Qt::Key_S},
               [this] { saveSoundInteractively(); });
  syncActions();
}

void TraceView::syncActions() {
  for (QAction* a : modeActions_) a->setChecked(a->data().toInt() == int(settings().mode));
  slopeAction_->setChecked(settings().slope == Slope::Falling);
}

void TraceView::stepLevel(int direction) {
  // A hundredth of the screen's height, on a grid of such steps.
  const double step = 0.02 / settings().zoom;
  change([&](TraceSettings& s) { s.level = (std::round(s.level / step) + direction) * step; });
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
  // No points are taken while the dialog is open: what is saved ends where
  // the dialog was asked for.
  saving_ = true;
  updateStopped();
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save the last %1 s as sound").arg(TraceModel::kHistorySeconds),
                                   suggested, QStringLiteral("WAV sound (*.wav)"));
  if (!path.isEmpty()) {
    QString error;
    const dsp::TraceHistory& h = model_.history();
    showNotice(
        saveSound(path, error)
            ? QStringLiteral("saved %1 s in %2").arg(double(h.end() - h.begin()) / model_.rate(), 0, 'f', 1).arg(path)
            : error);
  }
  saving_ = false;
  updateStopped();
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
  g.xUnit = QStringLiteral("ms");
  g.yTitle = QStringLiteral("amplitude, full scale");
  g.title = config().title;
  g.about = QStringLiteral("%1 \u00b7 \u00d7%2 \u00b7 ").arg(spanText(s.spanMs)).arg(s.zoom);
  if (s.mode == TriggerMode::Off) {
    g.about += QStringLiteral("trigger off");
  } else {
    g.about +=
        QStringLiteral("%1 %2 %3 at %4 %")
            .arg(modeName(s.mode), s.slope == Slope::Rising ? QStringLiteral("\u2191") : QStringLiteral("\u2193"),
                 fullScaleText(s.level, 4))
            .arg(std::lround(s.position * 100));
    if (s.holdOffMs > 0) g.about += QStringLiteral(" \u00b7 hold-off %1").arg(spanText(s.holdOffMs));
  }
  g.about += QStringLiteral(" \u00b7 ") + dbfsConvention();
  g.hints = QStringLiteral(
      "Space freeze \u00b7 \u2190\u2192 time \u00b7 +\u2212 zoom \u00b7 \u2191\u2193 level \u00b7 "
      "click: cursors");
  g.footer = kFooter;
  return g;
}

void TraceView::paintContent(QPainter& p, QSize size, bool overlays) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  const QRectF plot = plotArea(size);
  p.drawImage(QPointF(0, 0), grid_.image(size, dpr, gridLayout(plot)));

  const std::optional<Sweep> sweep = model_.sweep();
  const dsp::TraceHistory& h = model_.history();
  const dsp::TraceMeasurements m =
      sweep ? dsp::measure(h, sweep->firstPoint(), sweep->endPoint()) : dsp::TraceMeasurements{};

  p.save();
  p.setClipRect(plot);
  if (sweep) {
    traceLine(h, sweep->start, sweep->length, AmplitudeAxis{double(settings().zoom)}, plot, line_);
    if (sweep->length > kTraceColumnPoints * plot.width()) {
      // Strokes of whole columns: smoothing would not show, and would cost
      // some ten times as much for a band of full-height strokes.
      p.setRenderHint(QPainter::Antialiasing, false);
      QPen pen(palette::trace, 1);
      pen.setCosmetic(true);
      p.setPen(pen);
      p.drawPolyline(line_);
    } else {
      strokeLine(p, line_, palette::trace);
    }
    paintTimeCursors(p, plot, *sweep);
  }
  p.restore();
  paintMarks(p, plot);
  if (overlays) paintHover(p, plot, sweep ? &*sweep : nullptr, size);
  paintState(p, plot, size);
  paintMeasurements(p, plot, m);
  if (sweep && (cursors_[0] || cursors_[1])) paintCursorReadings(p, plot, *sweep);
  if (overlays && stalled_) paintStall(p, plot);
}

void TraceView::paintMarks(QPainter& p, const QRectF& plot) const {
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
  // The trigger instant's place on screen, on the top edge.
  const double x = plot.left() + s.position * plot.width();
  const QPointF position[3] = {{x, plot.top() + 1}, {x - 5, plot.top() - 7}, {x + 5, plot.top() - 7}};
  p.drawPolygon(position, 3);
  if (drag_ == Drag::Level || (levelMoved_.isValid() && levelMoved_.elapsed() < kLevelLineMs)) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(palette::trigger, 1, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
  p.restore();
}

void TraceView::paintTimeCursors(QPainter& p, const QRectF& plot, const Sweep& s) const {
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
    if (const auto v = valueAt(model_.history(), s.start + ms * model_.rate() / 1000.0)) {
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setBrush(palette::timeCursor);
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPointF(x, axis.toY(*v, plot)), 3, 3);
      p.setBrush(Qt::NoBrush);
    }
  }
}

void TraceView::paintHover(QPainter& p, const QRectF& plot, const Sweep* s, QSize size) {
  if (!cursorOver(plot) || drag_ != Drag::None) return;
  // The trace's own value at the mouse's time, not the mouse's height (NaN
  // where there is none: the history holds no NaN).
  const double ms = xToTime(cursor()->x(), settings().spanMs, plot);
  const double v = s ? valueAt(model_.history(), s->start + ms * model_.rate() / 1000.0).value_or(NAN) : NAN;
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
  p.setFont(uiFont());
  QString text = QStringLiteral("at ") + msText(ms, settings().spanMs, plot.width());
  if (!std::isnan(v))
    text += QStringLiteral("  ") + fullScaleText(v) + QStringLiteral("  (") + dbText(dsp::dbfs(std::fabs(v))) +
            QStringLiteral(" dBFS)");
  // Left of the state, which is drawn at the right end of the same line.
  const double stateWidth = QFontMetricsF(uiFont()).horizontalAdvance(stateName(model_.state()));
  drawRightToLeft(p, size.width() - 18 - stateWidth - 18, plot.top() - 10, text, palette::text);
}

void TraceView::paintState(QPainter& p, const QRectF& plot, QSize size) const {
  p.setFont(uiFont());
  const TraceModel::State s = model_.state();
  const bool quiet = s == TraceModel::State::Triggered || s == TraceModel::State::Rolling;
  drawRightToLeft(p, size.width() - 18, plot.top() - 10, stateName(s), quiet ? palette::label : palette::trigger);
}

void TraceView::paintMeasurements(QPainter& p, const QRectF& plot, const dsp::TraceMeasurements& m) {
  const int rate = model_.rate();
  QString text;
  if (!m.count) {
    text = QStringLiteral("nothing on screen");
  } else {
    const auto hz = m.frequencyHz(rate);
    if (hz) {
      text = QStringLiteral("%1 Hz   %2 ms")
                 .arg(*hz, 0, 'f', m.frequencyDecimals(rate))
                 .arg(*m.periodMs(rate), 0, 'f', m.periodDecimals(rate));
    } else {
      switch (m.why) {
        case dsp::NoPeriod::NoSwing:
          text = QStringLiteral("no swing: no period");
          break;
        case dsp::NoPeriod::LessThanACycle:
          text = QStringLiteral("less than a whole cycle: no period, RMS or DC");
          break;
        case dsp::NoPeriod::Irregular:
        case dsp::NoPeriod::None:
          text = QStringLiteral("no steady period");
          break;
      }
    }
    const auto crest = m.crestFactor();
    text += QStringLiteral("   peak %1 dBFS   RMS %2   p-p %3   DC %4   crest %5")
                .arg(dbText(dsp::dbfs(m.peak)), m.rms ? dbText(dsp::rmsDbfs(*m.rms)) + QStringLiteral(" dBFS") : kNone,
                     fullScaleText(m.peakToPeak()), m.dc ? fullScaleText(*m.dc) : kNone,
                     crest ? QString::number(*crest, 'f', 2) : kNone);
  }
  // The text is laid out again only when it changed.
  if (measureText_.text() != text) measureText_.setText(text);
  p.setFont(uiFont());
  const QFontMetricsF metrics(p.font());
  const double baseline = plot.bottom() + 33;

  // The clip indicator at the right end, lit when a point of the last second
  // reached full scale; in a narrow window it cuts the measurements short.
  const bool clipped = model_.clipped();
  const QString clip = QStringLiteral("CLIP");
  const double w = metrics.horizontalAdvance(clip) + 10;
  const QRectF box(plot.right() - w, baseline - 11, w, 14);
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::NoPen);
  p.setBrush(clipped ? palette::warning : palette::gridMajor);
  p.drawRoundedRect(box, 3, 3);
  p.setPen(clipped ? palette::text : palette::dimText);
  p.drawText(box, Qt::AlignCenter, clip);
  p.setClipRect(QRectF(plot.left(), box.top() - 2, box.left() - 12 - plot.left(), box.height() + 6));
  p.setPen(palette::text);
  p.drawStaticText(QPointF(plot.left(), baseline - metrics.ascent()), measureText_);
  p.restore();
}

void TraceView::paintCursorReadings(QPainter& p, const QRectF& plot, const Sweep& s) const {
  const CursorReadings r = readCursors(model_.history(), s, model_.rate(), timeCursor(0), timeCursor(1));
  const double span = settings().spanMs;
  auto at = [&](int c, const std::optional<double>& v) {
    const QString name = c == 0 ? QStringLiteral("A") : QStringLiteral("B");
    const auto ms = timeCursor(c);
    if (!ms) return QString();
    return QStringLiteral("%1 %2  %3")
        .arg(name, msText(*ms, span, plot.width()), v ? fullScaleText(*v) : QStringLiteral("\u2014"));
  };
  QStringList lines{(at(0, r.a) + QStringLiteral("     ") + at(1, r.b)).trimmed()};
  if (r.dtMs) {
    QString between = QStringLiteral("\u0394t %1").arg(msText(std::fabs(*r.dtMs), span, plot.width()));
    if (*r.dtMs != 0) between += QStringLiteral("   1/\u0394t %1 Hz").arg(1000.0 / std::fabs(*r.dtMs), 0, 'f', 1);
    if (r.rms)
      between +=
          QStringLiteral("   RMS %1 dBFS   p-p %2").arg(dbText(dsp::rmsDbfs(*r.rms)), fullScaleText(*r.peakToPeak));
    lines.append(between);
  }
  p.setFont(uiFont());
  const QFontMetricsF metrics(p.font());
  double width = 0;
  for (const QString& l : lines) width = std::max(width, metrics.horizontalAdvance(l));
  const QRectF box(plot.left() + 6, plot.top() + 6, width + 12, 16.0 * lines.size() + 4);
  QColor shade = palette::window;
  shade.setAlpha(210);
  p.fillRect(box, shade);
  p.setPen(palette::timeCursor);
  for (int i = 0; i < lines.size(); ++i) p.drawText(QPointF(box.left() + 6, box.top() + 14 + 16 * i), lines[i]);
}

void TraceView::paintStall(QPainter& p, const QRectF& plot) const {
  p.setFont(uiFont(true));
  const QString text = QStringLiteral("no input since %1").arg(lastInput_.toString(QStringLiteral("hh:mm:ss")));
  const double w = QFontMetricsF(p.font()).horizontalAdvance(text) + 20;
  const QRectF box(plot.center().x() - w / 2, plot.center().y() - 12, w, 24);
  QColor shade = palette::window;
  shade.setAlpha(220);
  p.fillRect(box, shade);
  p.setPen(palette::warning);
  p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace quorvel::display
