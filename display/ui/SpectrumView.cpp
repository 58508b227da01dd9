// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/SpectrumView.h"

#include "display/ui/Painting.h"
#include "display/ui/Palette.h"
#include "display/ui/PlotLines.h"
#include "display/VectorState.h"
#include "dsp/FrameText.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace quorvel::display {

namespace {

constexpr double kPaneGap = 8;
constexpr double kMarkerReachPx = 4;  // a click this close to a peak lands on it

// At least 10 s of frames (one per block of `points` samples), within a
// few megabytes however small the blocks.
int historyFrames(const ScopeConfig& c) {
  const int wanted = int(std::ceil(12.0 * c.rate / c.points));
  return std::clamp(wanted, 16, std::max(16, (1 << 22) / std::max(1, c.bins())));
}

template <class T, size_t N>
T following(const std::array<T, N>& choices, T current) {
  const auto it = std::find(choices.begin(), choices.end(), current);
  return it == choices.end() || it + 1 == choices.end() ? choices.front() : *(it + 1);
}

QString dbfsText(double db, int decimals) {
  return withMinusSign(QString::number(db, 'f', decimals)) + QStringLiteral(" dBFS");
}

// "0.0012 %  (-98.4 dB)"; an upper bound reads "< 0.0012 %  (< -98.4 dB)".
// decimals: of the percentage, when known (see dsp::thdDecimals).
QString ratioText(double ratio, bool bound = false, int decimals = -1) {
  const QString below = bound ? QStringLiteral("< ") : QString();
  if (decimals < 0) decimals = ratio < 0.01 ? 4 : 2;
  return QStringLiteral("%1%2 %  (%1%3 dB)")
      .arg(below, QString::number(ratio * 100, 'f', decimals),
           withMinusSign(QString::number(20 * std::log10(std::max(ratio, 1e-12)), 'f', 1)));
}

// "1000.00 Hz  -6.02 dBFS", each with the decimals it is good to.
QString toneText(const dsp::Tone& t, double binHz) {
  return QStringLiteral("%1 Hz  %2")
      .arg(t.hz(binHz), 0, 'f', t.hzDecimals(binHz))
      .arg(dbfsText(t.dbfs(), t.dbDecimals()));
}

QString noToneText(dsp::NoTone why) {
  switch (why) {
    case dsp::NoTone::InNoise:
      return QStringLiteral("no tone above the noise");
    case dsp::NoTone::AtZeroHz:
      return QStringLiteral("at 0 Hz: DC or below one bin");
    case dsp::NoTone::NotOneTone:
      return QStringLiteral("not a single tone");
    case dsp::NoTone::Silence:
    case dsp::NoTone::None:
      break;
  }
  return QStringLiteral("no tone");
}

QString noThdText(dsp::NoThd why, double binHz) {
  switch (why) {
    case dsp::NoThd::FundamentalTooLow:
      return QStringLiteral("fundamental below %1 Hz: harmonics not resolved")
          .arg(std::ceil(dsp::kLowestFundamentalBins * binHz));
    case dsp::NoThd::NoHarmonicInFrame:
      return QStringLiteral("no harmonic in the frame");
    case dsp::NoThd::NoTone:
    case dsp::NoThd::None:
      break;
  }
  return QStringLiteral("no tone");
}

}  // namespace

SpectrumView::SpectrumView(const ScopeConfig& config, QWidget* parent)
    : PlotView(config, parent),
      model_(config.bins(), historyFrames(config)),
      frozen_{{}, {}, {}, 0, 0, dsp::FrameHistory(0, 1)},
      estimator_(config.points, config.binHz()),
      logAction_(QStringLiteral("Log frequency")),
      resetPeaksAction_(QStringLiteral("Reset peak hold")),
      harmonicsAction_(QStringLiteral("Harmonics")),
      clearMarkersAction_(QStringLiteral("Clear markers")),
      csvAction_(QStringLiteral("Save CSV\u2026")),
      levelAction_(QStringLiteral("Level")),
      viewAction_(QStringLiteral("View")),
      zoomInAction_(QStringLiteral("Zoom in")),
      zoomOutAction_(QStringLiteral("Zoom out")),
      upAction_(QStringLiteral("Shift up")),
      downAction_(QStringLiteral("Shift down")),
      fineUpAction_(QStringLiteral("Shift up, fine")),
      fineDownAction_(QStringLiteral("Shift down, fine")),
      fullRangeAction_(QStringLiteral("Default range")) {
  auto on = [this](QAction& a, const QList<QKeySequence>& keys, auto fn) {
    a.setShortcuts(keys);
    QObject::connect(&a, &QAction::triggered, this, fn);
  };
  logAction_.setCheckable(true);
  on(logAction_, {Qt::Key_L}, [this] { setLogFrequency(!settings_.logFrequency); });
  on(layoutAction_, {Qt::Key_G}, [this] {
    settings_.layout = SpectrumLayout((int(settings_.layout) + 1) % 3);
    settingsChanged();
  });
  // P steps through the ways of holding, then off, then round again.
  on(holdAction_, {Qt::Key_P}, [this] {
    if (!settings_.peakHold) {
      settings_.peakHold = true;
      settings_.holdFallDbPerSecond = kHoldFalls.front();
    } else if (settings_.holdFallDbPerSecond == kHoldFalls.back()) {
      settings_.peakHold = false;
    } else {
      settings_.holdFallDbPerSecond = following(kHoldFalls, settings_.holdFallDbPerSecond);
    }
    settingsChanged();
  });
  on(resetPeaksAction_, {Qt::Key_R}, [this] { resetPeaks(); });
  on(averageAction_, {Qt::Key_A}, [this] {
    settings_.averageFrames = following(kAverages, settings_.averageFrames);
    settingsChanged();
  });
  harmonicsAction_.setCheckable(true);
  on(harmonicsAction_, {Qt::Key_H}, [this] {
    settings_.harmonics = !settings_.harmonics;
    settingsChanged();
  });
  on(clearMarkersAction_, {Qt::Key_M}, [this] {
    markers_.clear();
    update();
  });
  on(csvAction_, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, [this] { saveCsvInteractively(); });
  on(zoomInAction_, {Qt::Key_Plus, Qt::Key_Equal}, [this] { zoomLevel(0.5); });
  on(zoomOutAction_, {Qt::Key_Minus}, [this] { zoomLevel(2); });
  on(upAction_, {Qt::Key_Up}, [this] { shiftLevel(10); });
  on(downAction_, {Qt::Key_Down}, [this] { shiftLevel(-10); });
  on(fineUpAction_, {Qt::SHIFT | Qt::Key_Up}, [this] { shiftLevel(1); });
  on(fineDownAction_, {Qt::SHIFT | Qt::Key_Down}, [this] { shiftLevel(-1); });
  on(fullRangeAction_, {Qt::Key_Home}, [this] {
    settings_.level = LevelRange{};
    settingsChanged();
  });
  levelMenu_.addActions(
      {&zoomInAction_, &zoomOutAction_, &upAction_, &downAction_, &fineUpAction_, &fineDownAction_, &fullRangeAction_});
  levelAction_.setMenu(&levelMenu_);
  // The hold's menu: off, each way of holding, and the reset.
  QAction* holdOff = holdMenu_.addAction(QStringLiteral("Off"));
  holdOff->setCheckable(true);
  holdOff->setData(-1.0);
  QObject::connect(holdOff, &QAction::triggered, this, [this] {
    settings_.peakHold = false;
    settingsChanged();
  });
  for (double fall : kHoldFalls) {
    QAction* a =
        holdMenu_.addAction(fall > 0 ? QStringLiteral("Falling %1 dB/s").arg(fall) : QStringLiteral("For ever"));
    a->setCheckable(true);
    a->setData(fall);
    QObject::connect(a, &QAction::triggered, this, [this, fall] {
      settings_.peakHold = true;
      settings_.holdFallDbPerSecond = fall;
      settingsChanged();
    });
  }
  holdMenu_.addSeparator();
  holdMenu_.addAction(&resetPeaksAction_);
  holdAction_.setMenu(&holdMenu_);
  // The average's menu: off, and each length.
  for (int frames : kAverages) {
    QAction* a =
        averageMenu_.addAction(frames > 0 ? QStringLiteral("Over %1 frames").arg(frames) : QStringLiteral("Off"));
    a->setCheckable(true);
    a->setData(frames);
    QObject::connect(a, &QAction::triggered, this, [this, frames] {
      settings_.averageFrames = frames;
      settingsChanged();
    });
  }
  averageAction_.setMenu(&averageMenu_);
  viewMenu_.addActions({&logAction_, &layoutAction_, &harmonicsAction_});
  viewMenu_.addSeparator();
  viewMenu_.addAction(&clearMarkersAction_);
  viewAction_.setMenu(&viewMenu_);
  addActions({&viewAction_, &holdAction_, &averageAction_, &levelAction_});
  updateActionTexts();
}

void SpectrumView::consume(const ScopePoint& p, bool afterGap) { model_.consume(p, afterGap); }

bool SpectrumView::drained(size_t) {
  const bool came = model_.frames() != framesSeen_;
  framesSeen_ = model_.frames();
  return watchInput(came);
}

void SpectrumView::clear() {
  model_.clear();
  framesSeen_ = 0;
  forgetInput();
  analysis_ = Analysis{};
  setFrozen(false);
  update();
}

void SpectrumView::setSettings(const SpectrumSettings& settings) {
  settings_ = settings;
  settingsChanged();
}

void SpectrumView::setLogFrequency(bool log) {
  settings_.logFrequency = log;
  settingsChanged();
}

void SpectrumView::settingsChanged() {
  model_.setHoldFall(settings_.holdFallDbPerSecond * config().points / config().rate);
  updateActionTexts();
  update();
}

void SpectrumView::updateActionTexts() {
  logAction_.setChecked(settings_.logFrequency);
  harmonicsAction_.setChecked(settings_.harmonics);
  static const QString layouts[] = {QStringLiteral("off"), QStringLiteral("below"), QStringLiteral("only")};
  layoutAction_.setText(QStringLiteral("Spectrogram: %1").arg(layouts[int(settings_.layout)]));
  const double hold = settings_.peakHold ? settings_.holdFallDbPerSecond : -1.0;
  for (QAction* a : holdMenu_.actions())
    if (a->isCheckable()) a->setChecked(a->data().toDouble() == hold);
  resetPeaksAction_.setEnabled(settings_.peakHold);
  holdAction_.setText(!settings_.peakHold ? QStringLiteral("Hold: off")
                      : hold > 0          ? QStringLiteral("Hold: falls %1 dB/s").arg(hold)
                                          : QStringLiteral("Hold: for ever"));
  for (QAction* a : averageMenu_.actions()) a->setChecked(a->data().toInt() == settings_.averageFrames);
  averageAction_.setText(settings_.averageFrames > 0 ? QStringLiteral("Average: %1").arg(settings_.averageFrames)
                                                     : QStringLiteral("Average: off"));
}

void SpectrumView::resetPeaks() {
  model_.resetPeaks();
  analysis_.peaks = nullptr;  // the hold's tone is read again
  analysis_.holdFrames = ~uint64_t{0};
  if (frozen()) {
    std::fill(frozen_.peaks.begin(), frozen_.peaks.end(), -std::numeric_limits<double>::infinity());
    frozen_.holdFrame.clear();
    ++frozen_.holdFrames;
  }
  update();
}

void SpectrumView::shiftLevel(double db) {
  settings_.level.shift(db);
  settingsChanged();
}

void SpectrumView::zoomLevel(double factor, std::optional<double> anchorDb) {
  const LevelRange& r = settings_.level;
  settings_.level.zoom(factor, anchorDb.value_or(r.topDb - r.spanDb / 2));
  settingsChanged();
}

void SpectrumView::frozenChanged() {
  if (!frozen()) return;
  frozen_.frame = model_.frame();
  frozen_.peaks = model_.peaks();
  frozen_.holdFrame = model_.holdFrame();
  frozen_.holdFallen = model_.holdFallen();
  frozen_.holdFrames = model_.holdFrames();
  frozen_.history = model_.history();
  frozen_.strongest = model_.strongest();
  frozen_.frames = model_.frames();
}

SpectrumView::Shown SpectrumView::shown() const {
  if (frozen())
    return {frozen_.frame,      frozen_.peaks,   frozen_.holdFrame, frozen_.holdFallen,
            frozen_.holdFrames, frozen_.history, frozen_.strongest, frozen_.frames};
  return {model_.frame(),      model_.peaks(),   model_.holdFrame(), model_.holdFallen(),
          model_.holdFrames(), model_.history(), model_.strongest(), model_.frames()};
}

const SpectrumView::Analysis& SpectrumView::analysis() const {
  const Shown s = shown();
  if (analysis_.frames == s.frames && analysis_.withHarmonics == settings_.harmonics && analysis_.peaks == &s.peaks)
    return analysis_;
  const bool newFrame = analysis_.frames != s.frames && analysis_.withHarmonics == settings_.harmonics;
  analysis_.frames = s.frames;
  analysis_.withHarmonics = settings_.harmonics;
  analysis_.peaks = &s.peaks;
  clearUpperVectorState();  // the picture's fills came just before
  analysis_.estimates = estimator_.estimate(s.frame.amplitudes, settings_.harmonics);
  // The hold's tone: that of the frame that set it, fallen as the hold has.
  if (analysis_.holdFrames != s.holdFrames) {
    // Under a steady tone the newest frame keeps setting a falling hold: its
    // tone has just been read (the harmonics aside, which the hold does not show).
    if (s.holdFrame == s.frame.amplitudes) {
      analysis_.held = {analysis_.estimates.peak, analysis_.estimates.noPeak, std::nullopt};
    } else {
      analysis_.held = estimator_.estimate(s.holdFrame, false);
    }
    analysis_.holdFrames = s.holdFrames;
    analysis_.heldDbfs = analysis_.held.peak ? analysis_.held.peak->dbfs() : 0;
  }
  if (analysis_.held.peak) analysis_.held.peak->amplitude = std::pow(10, (analysis_.heldDbfs - s.holdFallen) / 20);
  // The harmonics' power, averaged over frames (a new frame weighs a
  // quarter, about eight frames in all) while the fundamental stays within
  // half a bin; started afresh otherwise.
  constexpr double kNewWeight = 0.25;
  const auto& h = analysis_.estimates.harmonics;
  const double bin = analysis_.estimates.peak ? analysis_.estimates.peak->bin : -1;
  const bool same = newFrame && h && std::fabs(bin - analysis_.fundamentalBin) <= 0.5;
  std::array<double, dsp::kHighestHarmonic + 1> power{};
  if (h)
    for (const dsp::Harmonic& one : h->harmonics) power[size_t(one.order)] = one.amplitude * one.amplitude;
  for (size_t n = 0; n < power.size(); ++n)
    analysis_.harmonicPower[n] =
        same ? analysis_.harmonicPower[n] + kNewWeight * (power[n] - analysis_.harmonicPower[n]) : power[n];
  analysis_.fundamentalBin = bin;
  return analysis_;
}

std::vector<SpectrumView::HarmonicMark> SpectrumView::harmonicMarks(const QRectF& pane) {
  std::vector<HarmonicMark> marks;
  const Analysis& a = analysis();
  if (!a.estimates.harmonics) return marks;
  const std::vector<double>& trace = markedTrace(shown());
  for (const dsp::Harmonic& h : a.estimates.harmonics->harmonics) {
    const double hz = h.bin * config().binHz();
    const std::optional<double> curve = curveLevelAt(trace, hz, pane);
    // What the curve shows there: its loudest bin next to the harmonic.
    double shown = -std::numeric_limits<double>::infinity();
    for (int k = int(std::floor(h.bin)) - 1; k <= int(std::ceil(h.bin)) + 1; ++k)
      if (k >= 0 && size_t(k) < trace.size()) shown = std::max(shown, trace[size_t(k)]);
    const double power = a.harmonicPower[size_t(h.order)];
    // Nothing fitted there (power 0) reads as buried too.
    const double fitted = power > 0 ? 10 * std::log10(power) : -std::numeric_limits<double>::infinity();
    const bool buried = curve && fitted < shown - kBuriedDb;
    if (!buried && !std::isfinite(fitted)) continue;  // off the trace, and nothing fitted
    marks.push_back({h.order, hz, buried ? *curve : fitted, buried});
  }
  return marks;
}

std::optional<double> SpectrumView::curveLevelAt(const std::vector<double>& trace, double hz,
                                                 const QRectF& pane) const {
  const double binHz = config().binHz();
  const FrequencyAxis axis = frequencyAxis();
  const double x = axis.toX(hz, pane);
  // The bins of the pixel column at x (the line keeps the loudest of them).
  const int lo = int(std::ceil(axis.fromX(std::floor(x), pane) / binHz));
  const int hi = int(std::floor(axis.fromX(std::floor(x) + 1, pane) / binHz));
  if (hi >= lo) {
    double loudest = -std::numeric_limits<double>::infinity();
    for (int k = std::max(lo, 0); k <= std::min(hi, int(trace.size()) - 1); ++k)
      loudest = std::max(loudest, trace[size_t(k)]);
    return std::isfinite(loudest) ? std::optional(loudest) : std::nullopt;
  }
  // Fewer bins than columns: the line between the two either side.
  const double at = hz / binHz;
  const int k = int(std::floor(at));
  if (k < 0 || size_t(k) + 1 >= trace.size()) return std::nullopt;
  return trace[size_t(k)] + (trace[size_t(k) + 1] - trace[size_t(k)]) * (at - k);
}

const std::vector<double>& SpectrumView::average(const Shown& s) {
  if (averageKey_.history != &s.history || averageKey_.serial != s.history.serial() ||
      averageKey_.clears != s.history.clears() || averageKey_.frames != settings_.averageFrames) {
    averageKey_ = {s.history.serial(), s.history.clears(), settings_.averageFrames, &s.history};
    s.history.averageDb(settings_.averageFrames, average_);
  }
  return average_;
}

const std::vector<double>& SpectrumView::markedTrace(const Shown& s) {
  return settings_.averageFrames > 0 ? average(s) : s.frame.levels;
}

QString SpectrumView::clipboardText() const {
  const Shown s = shown();
  if (s.frames == 0) return {};
  const Analysis& a = analysis();
  static const std::vector<double> kNoPeaks;
  static const dsp::FrameEstimates kNoHold;
  const bool hold = settings_.peakHold;
  return QString::fromStdString(
      dsp::FrameText{s.frame, hold ? s.peaks : kNoPeaks, config().binHz(), a.estimates, hold ? a.held : kNoHold}.csv());
}

namespace {

bool writeText(const QString& path, const QString& text, QString* error) {
  QSaveFile file(path);
  if (text.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(text.toUtf8()) < 0 ||
      !file.commit()) {
    if (error) *error = text.isEmpty() ? QStringLiteral("no frame yet") : file.errorString();
    return false;
  }
  return true;
}

}  // namespace

bool SpectrumView::saveCsv(const QString& path, QString* error) const {
  return writeText(path, clipboardText(), error);
}

void SpectrumView::saveCsvInteractively() {
  // What was on screen when asked is what is saved; the view goes on meanwhile.
  const QString text = clipboardText();
  if (text.isEmpty()) {
    showNotice(QStringLiteral("nothing to save yet"));
    return;
  }
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString suggested =
      QDir(dir.isEmpty() ? QDir::homePath() : dir)
          .filePath(QStringLiteral("%1-%2.csv")
                        .arg(config().title, QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss")));
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save frame as CSV"), suggested,
                                                    QStringLiteral("CSV files (*.csv)"));
  if (!path.isEmpty()) {
    QString error;
    showNotice(writeText(path, text, &error) ? QStringLiteral("saved %1").arg(path)
                                             : QStringLiteral("could not save %1: %2").arg(path, error));
  }
}

void SpectrumView::placeMarker(double hz) {
  const Panes ps = panes(size());
  const QRectF pane = ps.spectrum.isEmpty() ? ps.spectrogram : ps.spectrum;
  const FrequencyAxis axis = frequencyAxis();
  const double binHz = config().binHz();
  const double x = axis.toX(hz, pane);
  const double spread = (axis.fromX(x + kMarkerReachPx, pane) - axis.fromX(x - kMarkerReachPx, pane)) / 2 / binHz;
  markers_.place(int(std::lround(hz / binHz)), markedTrace(shown()), int(std::floor(std::max(spread, 0.0))));
  update();
}

std::optional<double> SpectrumView::frequencyAt(QPointF at, const Panes& ps) const {
  for (const QRectF& pane : {ps.spectrum, ps.spectrogram})
    if (!pane.isEmpty() && pane.contains(at)) return frequencyAxis().fromX(at.x(), pane);
  return std::nullopt;
}

void SpectrumView::mousePressEvent(QMouseEvent* e) {
  const std::optional<double> hz =
      e->button() == Qt::LeftButton ? frequencyAt(e->position(), panes(size())) : std::nullopt;
  if (!hz) {
    PlotView::mousePressEvent(e);
    return;
  }
  placeMarker(*hz);
}

void SpectrumView::wheelEvent(QWheelEvent* e) {
  const double notches = e->angleDelta().y() / 120.0;
  if (notches == 0) {
    PlotView::wheelEvent(e);
    return;
  }
  if (e->modifiers() & Qt::ControlModifier) {
    const QRectF pane = panes(size()).spectrum;
    std::optional<double> anchor;
    if (!pane.isEmpty() && pane.contains(e->position())) anchor = levelAxis().fromY(e->position().y(), pane);
    zoomLevel(std::pow(0.8, notches), anchor);
  } else {
    shiftLevel(5 * notches);
  }
  e->accept();
}

SpectrumView::Panes SpectrumView::panes(QSize size) const {
  const QRectF plot = plotRect(size);
  switch (settings_.layout) {
    case SpectrumLayout::Spectrum:
      return {plot, {}};
    case SpectrumLayout::Spectrogram:
      return {{}, plot};
    case SpectrumLayout::SpectrumAndSpectrogram:
      break;
  }
  const double split = std::round(plot.top() + (plot.height() - kPaneGap) * 0.55);
  return {QRectF(plot.left(), plot.top(), plot.width(), split - plot.top()),
          QRectF(plot.left(), split + kPaneGap, plot.width(), plot.bottom() - split - kPaneGap)};
}

GridLayout SpectrumView::gridLayout(QSize size, const Panes& ps, const FrequencyAxis& axis,
                                    const LevelAxis& level) const {
  const QRectF plot = plotRect(size);
  GridLayout g;
  g.x = placed(axis.ticks(), [&](double hz) { return axis.toX(hz, plot); });
  if (!ps.spectrum.isEmpty()) g.y = placed(level.ticks(), [&](double db) { return level.toY(db, ps.spectrum); });
  if (!ps.spectrogram.isEmpty()) {
    // Time runs down the spectrogram, from the newest frame at its top.
    const double span = model_.history().capacity() * double(config().points) / config().rate;
    const double step = span > 20 ? 5 : span > 8 ? 2 : 1;
    for (double t = ps.spectrum.isEmpty() ? 0 : step; t < span; t += step)
      g.y.push_back({ps.spectrogram.top() + t / span * ps.spectrogram.height(), true,
                     withMinusSign(QStringLiteral("%1 s").arg(-t))});
  }
  g.xUnit = QStringLiteral("Hz");
  if (ps.spectrogram.isEmpty())
    g.yTitle = QStringLiteral("level, dBFS");
  else if (ps.spectrum.isEmpty())
    g.yTitle = QStringLiteral("time");
  return g;
}

QString SpectrumView::about() const {
  QString about = QStringLiteral("%1 bins of %2 Hz \u00b7 %3 \u00b7 trace smoothed in dB")
                      .arg(config().bins())
                      .arg(config().binHz(), 0, 'f', 2)
                      .arg(dbfsConvention());
  if (settings_.peakHold && settings_.holdFallDbPerSecond > 0)
    about += QStringLiteral(" \u00b7 hold falls %1 dB/s").arg(settings_.holdFallDbPerSecond);
  // Noise smoothed in dB reads low: the mean of the log of its power lies
  // 2.5 dB under the log of its mean power.
  if (settings_.averageFrames > 0)
    about += QStringLiteral(" \u00b7 power average of %1 frames (noise: 2.5 dB over the trace)")
                 .arg(settings_.averageFrames);
  return about;
}

QString SpectrumView::hints() const {
  return QStringLiteral(
      "click marker \u00b7 wheel/\u2191\u2193/+\u2212 level (Shift: fine) \u00b7 G spectrogram \u00b7 "
      "H harmonics \u00b7 L log \u00b7 Space freeze");
}

void SpectrumView::paintContent(QPainter& p, QSize size, bool overlays) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  const Panes ps = panes(size);
  const FrequencyAxis axis = frequencyAxis();
  const LevelAxis level = levelAxis();
  const std::vector<double> gridKey{ps.spectrum.left(),
                                    ps.spectrum.top(),
                                    ps.spectrum.width(),
                                    ps.spectrum.height(),
                                    ps.spectrogram.left(),
                                    ps.spectrogram.top(),
                                    ps.spectrogram.width(),
                                    ps.spectrogram.height(),
                                    axis.maxHz,
                                    double(axis.log),
                                    level.topDb,
                                    level.bottomDb,
                                    double(model_.history().capacity())};
  putBackground(p, grid_.still(size, dpr, gridKey, [&] { return gridLayout(size, ps, axis, level); }), grid_.boxes());
  peakMark_ = QRectF();
  const Shown s = shown();

  if (!ps.spectrum.isEmpty() && s.frames > 0) {
    paintSpectrum(p, ps.spectrum, s, axis, level);
  } else if (!ps.spectrum.isEmpty()) {
    // The last frame's fill goes with it.
    line_.clear();
    fillUnder(p, ps.spectrum);
  }
  if (!ps.spectrogram.isEmpty()) {
    spectrogram_.paint(p, ps.spectrogram, s.history, axis, config().binHz(), settings_.level);
    p.setPen(QPen(palette::frame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(ps.spectrogram.adjusted(-0.5, -0.5, 0.5, 0.5));
    cover(p, ps.spectrogram);
  }
  if (!ps.spectrum.isEmpty() && !ps.spectrogram.isEmpty()) {
    // Between the two: the window's colour, and a title beside each.
    p.fillRect(QRectF(ps.spectrum.left() - 1, ps.spectrum.bottom() + 1, ps.spectrum.width() + 2, kPaneGap - 2),
               palette::window);
    p.setPen(QPen(palette::frame, 1));
    p.drawLine(QPointF(ps.spectrum.left() - 0.5, ps.spectrum.bottom() + 0.5),
               QPointF(ps.spectrum.right() + 0.5, ps.spectrum.bottom() + 0.5));
    cover(p, QRectF(ps.spectrum.left() - 1, ps.spectrum.bottom(), ps.spectrum.width() + 2, kPaneGap - 1));
    p.setFont(uiFont());
    p.setPen(palette::dimText);
    const QFontMetricsF fm(p.font());
    for (auto [pane, title] :
         {std::pair{ps.spectrum, QStringLiteral("dBFS")}, std::pair{ps.spectrogram, QStringLiteral("time")}}) {
      const double w = fm.horizontalAdvance(title), column = fm.height() + 2;
      if (w > pane.height()) continue;
      p.save();
      p.translate(column / 2, pane.center().y());
      p.rotate(-90);
      p.drawText(QRectF(-w / 2, -fm.height() / 2, w, fm.height()), Qt::AlignCenter, title);
      p.restore();
      noteText(p, QStringLiteral("pane title ") + title, QRectF(0, pane.center().y() - w / 2, column, w));
    }
  }
  const QRectF plot = plotRect(size);
  if (overlays && cursorOver(plot) && frequencyAt(*cursor(), ps)) {
    p.save();
    p.setClipRect(plot);
    const QPointF c = *cursor();
    const std::optional<double> db = ps.spectrum.contains(c) && s.frames > 0
                                         ? curveLevelAt(markedTrace(s), axis.fromX(c.x(), ps.spectrum), ps.spectrum)
                                         : std::nullopt;
    if (db) {
      // Over the spectrum: a line at the pointer's frequency and a dot where the curve is there.
      p.setRenderHint(QPainter::Antialiasing, false);
      p.setPen(QPen(palette::cursor, 1, Qt::DashLine));
      p.drawLine(QPointF(c.x(), plot.top()), QPointF(c.x(), plot.bottom()));
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setPen(QPen(palette::text, 1));
      p.drawEllipse(QPointF(c.x(), std::clamp(level.toY(*db, ps.spectrum), ps.spectrum.top(), ps.spectrum.bottom())), 3,
                    3);
      cover(p, QRectF(c.x() - 4, plot.top(), 8, plot.height()));
    } else {
      paintCrosshair(p, plot);
    }
    p.restore();
  }
  paintReadouts(p, size, ps, s, overlays);
  if (s.frames == 0) {
    p.setFont(uiFont(true));
    p.setPen(palette::label);
    const QString waiting = QStringLiteral("waiting for frames");
    p.drawText(plot, Qt::AlignCenter, waiting);
    const QFontMetricsF fm(p.font());
    const QSizeF box(fm.horizontalAdvance(waiting), fm.height());
    noteText(p, QStringLiteral("waiting"), QRectF(plot.center() - QPointF(box.width() / 2, box.height() / 2), box));
  }
}

void SpectrumView::paintSpectrum(QPainter& p, const QRectF& pane, const Shown& s, const FrequencyAxis& axis,
                                 const LevelAxis& level) {
  const double binHz = config().binHz();
  p.save();
  p.setClipRect(pane);
  p.setRenderHint(QPainter::Antialiasing, true);
  // A soft fill under the line reads as "energy" at a glance; the lines go
  // over it.
  spectrumLine(s.frame.levels, binHz, axis, level, pane, line_);
  fillUnder(p, pane);
  if (settings_.peakHold && !s.peaks.empty()) {
    spectrumLine(s.peaks, binHz, axis, level, pane, peaksLine_);
    lines().drawLine(p, peaksLine_, pane, palette::peakHold);
  }
  if (!line_.isEmpty()) lines().drawLine(p, line_, pane, palette::spectrum, true);
  if (settings_.averageFrames > 0) {
    spectrumLine(average(s), binHz, axis, level, pane, line_);
    lines().drawLine(p, line_, pane, palette::average, true);
  }
  paintMarks(p, pane, s, axis, level);
  p.restore();
}

void SpectrumView::fillUnder(QPainter& p, const QRectF& pane) {
  QColor top = palette::spectrum, bottom = palette::spectrum;
  top.setAlpha(110);
  bottom.setAlpha(12);
  lines().fillUnder(p, line_, pane, top, bottom);
}

void SpectrumView::paintMarks(QPainter& p, const QRectF& pane, const Shown& s, const FrequencyAxis& axis,
                              const LevelAxis& level) {
  const double binHz = config().binHz();
  auto pointer = [&](double hz, double db, const QColor& c) {
    const QPointF tip(axis.toX(hz, pane), std::max(pane.top() + 7, level.toY(db, pane)) - 3);
    const QPointF shape[3] = {tip, tip + QPointF(-4, -7), tip + QPointF(4, -7)};
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(shape, 3);
    p.setBrush(Qt::NoBrush);
    cover(p, QRectF(tip.x() - 4, tip.y() - 7, 8, 7));
    return tip;
  };
  p.setFont(uiFont());
  // The strongest tone, at its level between bins; without amplitudes in
  // the frame, at its strongest bin.
  const dsp::FrameEstimates& a = analysis().estimates;
  std::optional<QPointF> peakTip;
  if (a.peak)
    peakTip = pointer(a.peak->hz(binHz), a.peak->dbfs(), palette::strongest);
  else if (a.noPeak == dsp::NoTone::Silence && s.strongest >= 0 && size_t(s.strongest) < s.frame.levels.size())
    peakTip = pointer(s.strongest * binHz, s.frame.levels[size_t(s.strongest)], palette::strongest);
  // The read-out box keeps off it.
  if (peakTip) peakMark_ = QRectF(peakTip->x() - 4, peakTip->y() - 7, 8, 7);
  const std::vector<double>& trace = markedTrace(s);
  for (const HarmonicMark& m : harmonicMarks(pane)) {
    const QPointF tip = pointer(m.hz, m.db, m.buried ? palette::window : palette::harmonic);
    p.setPen(palette::harmonic);
    if (m.buried) {
      const QPointF shape[3] = {tip, tip + QPointF(-4, -7), tip + QPointF(4, -7)};
      p.drawPolygon(shape, 3);
    }
    const QRectF number(tip.x() - 10, tip.y() - 21, 20, 12);
    p.drawText(number, Qt::AlignCenter, QString::number(m.order));
    cover(p, number);
  }
  for (size_t i = 0; i < markers_.bins().size(); ++i) {
    const int bin = markers_.bins()[i];
    if (size_t(bin) >= trace.size()) continue;
    const QPointF at(axis.toX(bin * binHz, pane),
                     std::clamp(level.toY(trace[size_t(bin)], pane), pane.top(), pane.bottom()));
    p.setPen(QPen(palette::marker, 1.5));
    p.drawEllipse(at, 4, 4);
    const QRectF number(at.x() + 5, at.y() + 3, 14, 12);
    p.drawText(number, Qt::AlignLeft, QString::number(i + 1));
    cover(p, QRectF(at.x() - 5, at.y() - 5, 10, 10) | number);
  }
}

void SpectrumView::paintReadouts(QPainter& p, QSize size, const Panes& ps, const Shown& s, bool overlays) {
  const double binHz = config().binHz();
  std::vector<Readout> right;
  if (const QString input = inputText(QStringLiteral("frames")); !input.isEmpty())
    right.push_back({input, palette::trigger, QStringLiteral("input")});
  const dsp::FrameEstimates& a = analysis().estimates;
  if (a.peak) {
    right.push_back(
        {QStringLiteral("peak  %1").arg(toneText(*a.peak, binHz)), palette::strongest, QStringLiteral("peak")});
  } else if (a.noPeak == dsp::NoTone::Silence) {
    // A frame without amplitudes: its strongest level, if any.
    if (s.strongest >= 0 && size_t(s.strongest) < s.frame.levels.size())
      right.push_back({QStringLiteral("peak  %1  %2")
                           .arg(frequencyText(s.strongest * binHz), levelText(s.frame.levels[size_t(s.strongest)])),
                       palette::strongest, QStringLiteral("peak")});
  } else {
    right.push_back(
        {QStringLiteral("peak  \u2013  (%1)").arg(noToneText(a.noPeak)), palette::strongest, QStringLiteral("peak")});
  }
  if (overlays && cursor()) {
    const QPointF c = *cursor();
    QString text;
    if (!ps.spectrum.isEmpty() && ps.spectrum.contains(c)) {
      // The curve's own level at the pointer's frequency, not the pointer's height.
      const double hz = frequencyAxis().fromX(c.x(), ps.spectrum);
      const std::optional<double> db = s.frames > 0 ? curveLevelAt(markedTrace(s), hz, ps.spectrum) : std::nullopt;
      text = QStringLiteral("cursor  %1  %2").arg(frequencyText(hz), db ? dbfsText(*db, 1) : QStringLiteral("\u2013"));
    } else if (!ps.spectrogram.isEmpty() && ps.spectrogram.contains(c)) {
      // The frame under the cursor, and its level there.
      const double hz = frequencyAxis().fromX(c.x(), ps.spectrogram);
      const int age = int((c.y() - ps.spectrogram.top()) / ps.spectrogram.height() * s.history.capacity());
      const int bin = int(std::lround(hz / binHz));
      text = QStringLiteral("cursor  %1  %2 s")
                 .arg(frequencyText(hz),
                      withMinusSign(QString::number(-age * double(config().points) / config().rate, 'f', 1)));
      if (age < s.history.size() && bin >= 0 && bin < s.history.bins())
        text += QStringLiteral("  ") + dbfsText(dsp::powerDb(s.history.row(age)[bin]), 1);
    }
    // Shown where there is room left beside the lasting read-outs.
    right.push_back({text, palette::text, QStringLiteral("pointer")});
  }
  paintTopLine(p, size, about(), right);
  if (!peakMark_.isNull()) noteText(p, QStringLiteral("peak mark"), peakMark_);

  // Markers and THD, in a box in a corner of the first pane.
  QStringList lines;
  QList<QColor> colours;
  const std::vector<double>& trace = markedTrace(s);
  for (size_t i = 0; i < markers_.bins().size(); ++i) {
    const size_t bin = size_t(markers_.bins()[i]);
    lines << QStringLiteral("M%1  %2  %3")
                 .arg(i + 1)
                 .arg(frequencyText(bin * binHz),
                      bin < trace.size() ? dbfsText(trace[bin], 1) : QStringLiteral("\u2013"));
    colours << palette::marker;
  }
  // The hold's tone, where it is not the live one (a burst gone, a tone moved).
  const std::optional<dsp::Tone> held = settings_.peakHold ? analysis().held.peak : std::nullopt;
  if (held && (!a.peak || std::fabs(held->bin - a.peak->bin) > 0.5 || std::fabs(held->dbfs() - a.peak->dbfs()) > 0.5)) {
    lines << QStringLiteral("hold  %1").arg(toneText(*held, binHz));
    colours << palette::peakHold;
  }
  if (a.harmonics && a.harmonics->why == dsp::NoThd::None) {
    const dsp::HarmonicAnalysis& h = *a.harmonics;
    lines << QStringLiteral("THD (2f\u2013%1f)  %2")
                 .arg(h.highestOrder)
                 .arg(ratioText(h.thd, h.thdIsBound, dsp::thdDecimals(h)))
          << QStringLiteral("THD+N  %1").arg(ratioText(h.thdPlusNoise, h.thdPlusNoiseIsBound));
    colours << palette::harmonic << palette::harmonic;
  } else if (a.harmonics) {
    lines << QStringLiteral("THD  \u2013  (%1)").arg(noThdText(a.harmonics->why, binHz));
    colours << palette::harmonic;
  }
  if (lines.isEmpty()) return;
  const QRectF pane = ps.spectrum.isEmpty() ? ps.spectrogram : ps.spectrum;
  p.setFont(uiFont());
  const QFontMetricsF fm(p.font());
  double width = 0;
  for (QString& l : lines) {
    l = fm.elidedText(withMinusSign(l), Qt::ElideRight, pane.width() - 24);
    width = std::max(width, fm.horizontalAdvance(l));
  }
  const double lineHeight = 14;
  const QSizeF boxSize(width + 12, lines.size() * lineHeight + 6);
  // In a corner where it hides no part of the curve (nor the peak's mark):
  // a top corner above the curve, or a bottom one under it; else the top
  // corner over the lower part of the curve.
  const LevelAxis level = levelAxis();
  auto extremes = [&](const QRectF& r) {
    double loudest = -std::numeric_limits<double>::infinity(), quietest = -loudest;
    for (size_t k = 0; k < trace.size(); ++k) {
      const double x = frequencyAxis().toX(k * binHz, pane);
      if (x < r.left() || x > r.right()) continue;
      loudest = std::max(loudest, trace[k]);
      quietest = std::min(quietest, trace[k]);
    }
    return std::pair{loudest, quietest};
  };
  const QRectF topLeft(pane.topLeft() + QPointF(6, 6), boxSize);
  const QRectF topRight = topLeft.translated(pane.width() - 12 - boxSize.width(), 0);
  const QRectF bottomLeft = topLeft.translated(0, pane.height() - 12 - boxSize.height());
  const QRectF bottomRight = topRight.translated(0, pane.height() - 12 - boxSize.height());
  auto clear = [&](const QRectF& r, bool top) {
    if (ps.spectrum.isEmpty() || s.frames == 0) return true;
    if (!peakMark_.isNull() && r.intersects(peakMark_)) return false;
    const auto [loudest, quietest] = extremes(r);
    if (!std::isfinite(loudest)) return true;
    return top ? level.toY(loudest, pane) > r.bottom() + 2 : level.toY(quietest, pane) < r.top() - 2;
  };
  const std::pair<QRectF, bool> corners[] = {
      {topLeft, true}, {topRight, true}, {bottomLeft, false}, {bottomRight, false}};
  auto avoidsPeak = [&](const QRectF& r) { return peakMark_.isNull() || !r.intersects(peakMark_); };
  // Else the top corner over the lower part of the curve; else any corner
  // clear of the peak's mark (a small pane).
  QRectF box = extremes(topRight).first < extremes(topLeft).first ? topRight : topLeft;
  if (!avoidsPeak(box))
    for (const auto& corner : corners)
      if (avoidsPeak(corner.first)) {
        box = corner.first;
        break;
      }
  for (const auto& [candidate, top] : corners)
    if (clear(candidate, top)) {
      box = candidate;
      break;
    }
  QColor back = palette::window;
  back.setAlpha(200);
  p.fillRect(box, back);
  for (int i = 0; i < lines.size(); ++i) {
    p.setPen(colours[i]);
    p.drawText(QPointF(box.left() + 6, box.top() + 3 + (i + 1) * lineHeight - 3), lines[i]);
  }
  noteText(p, QStringLiteral("markers and THD"), box);
}

}  // namespace quorvel::display
