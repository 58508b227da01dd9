// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The frame scope's picture: the latest spectrum frame's levels against
// frequency on a dBFS axis, with its peak hold, a power average, the
// strongest tone read out between bins, up to four markers, the harmonics
// of the strongest tone with THD, and a spectrogram of the last seconds
// (under the spectrum, or alone). Until the first frame it says it is
// waiting for one.
#pragma once

#include "display/spectrum/Markers.h"
#include "display/spectrum/SpectrumModel.h"
#include "display/spectrum/SpectrumSettings.h"
#include "display/ui/PlotGrid.h"
#include "display/ui/PlotView.h"
#include "display/ui/SpectrogramImage.h"
#include "dsp/FrameEstimator.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPolygonF>

#include <array>
#include <optional>
#include <vector>

namespace quorvel::display {

class SpectrumView : public PlotView {
 public:
  explicit SpectrumView(const ScopeConfig& config, QWidget* parent = nullptr);

  void consume(const ScopePoint& p, bool afterGap) override;
  bool drained(size_t taken) override;
  // Drops every frame, the peak hold and the history; settings and markers stay.
  void clear() override;
  // The frame on screen as CSV text (see FrameText).
  QString clipboardText() const override;
  QList<QAction*> exportActions() override { return {&csvAction_}; }
  // Writes clipboardText() to path; false with the reason in *error.
  bool saveCsv(const QString& path, QString* error) const;

  const SpectrumSettings& settings() const { return settings_; }
  void setSettings(const SpectrumSettings& settings);
  void setLogFrequency(bool log);
  bool logFrequency() const { return settings_.logFrequency; }
  void resetPeaks();
  // As a click at that frequency does.
  void placeMarker(double hz);
  const Markers& markers() const { return markers_; }

  const SpectrumModel& model() const { return model_; }
  // The strongest tone of the frame on screen, and, with harmonics on, its
  // harmonics and THD; the tone of the frame that set the peak hold.
  const std::optional<dsp::Tone>& peak() const { return analysis().estimates.peak; }
  const std::optional<dsp::Tone>& heldPeak() const { return analysis().held.peak; }
  const std::optional<dsp::HarmonicAnalysis>& harmonics() const { return analysis().estimates.harmonics; }

  // Where the spectrum and the spectrogram are in a picture of this size
  // (an empty rectangle for the one not shown).
  struct Panes {
    QRectF spectrum, spectrogram;
  };
  Panes panes(QSize size) const;

  // The harmonics' markers in a pane: each at its fitted level, averaged
  // over the frames of a steady fundamental, which is on the curve where
  // the curve shows the harmonic. One buried under the fundamental's
  // leakage or the noise (fitted more than kBuriedDb under the curve)
  // marks the curve, hollow: it is at most that loud.
  static constexpr double kBuriedDb = 6;
  struct HarmonicMark {
    int order;
    double hz, db;
    bool buried;
  };
  std::vector<HarmonicMark> harmonicMarks(const QRectF& pane);
  // The drawn curve's level at frequency hz (what the pointer reads there):
  // the loudest bin that the pane's pixel column holds there, or between two
  // bins, the line between them; none outside the trace.
  std::optional<double> curveLevelAt(const std::vector<double>& trace, double hz, const QRectF& pane) const;
  // The levels the markers read: the power average while it is on, else the frame's.
  const std::vector<double>& markedLevels() { return markedTrace(shown()); }
  LevelAxis levelAxis() const { return {settings_.level.topDb, settings_.level.bottomDb()}; }
  FrequencyAxis frequencyAxis() const { return {config().nyquistHz(), settings_.logFrequency}; }

 protected:
  void paintContent(QPainter& p, QSize size, bool overlays) override;
  void frozenChanged() override;
  void mousePressEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  // What is drawn: the model's state, or the copy taken when frozen.
  struct Shown {
    const dsp::FrameBins& frame;
    const std::vector<double>& peaks;
    const std::vector<double>& holdFrame;
    double holdFallen;
    uint64_t holdFrames;
    const dsp::FrameHistory& history;
    int strongest;
    uint64_t frames;
  };
  struct FrozenCopy {
    dsp::FrameBins frame;
    std::vector<double> peaks;
    std::vector<double> holdFrame;
    double holdFallen = 0;
    uint64_t holdFrames = 0;
    dsp::FrameHistory history;
    int strongest = -1;
    uint64_t frames = 0;
  };
  // Estimates of the frame on screen, made once per frame.
  struct Analysis {
    uint64_t frames = 0;
    bool withHarmonics = false;
    const std::vector<double>* peaks = nullptr;
    dsp::FrameEstimates estimates;
    dsp::FrameEstimates held;            // the tone of the frame that set the hold
    uint64_t holdFrames = ~uint64_t{0};  // for which
    double heldDbfs = 0;                 // its level before the hold fell
    // Each harmonic's fitted power (amplitude squared), averaged over the
    // last frames of the same fundamental, so that its marker stands still
    // under a steady tone; by order, 0 where none was fitted.
    std::array<double, dsp::kHighestHarmonic + 1> harmonicPower{};
    double fundamentalBin = -1;
  };

  Shown shown() const;
  const Analysis& analysis() const;
  const std::vector<double>& average(const Shown& s);
  // The trace markers read: the power average while it is on, else the levels.
  const std::vector<double>& markedTrace(const Shown& s);
  void settingsChanged();
  void updateActionTexts();
  void saveCsvInteractively();
  void shiftLevel(double db);
  void zoomLevel(double factor, std::optional<double> anchorDb = std::nullopt);

  GridLayout gridLayout(QSize size, const Panes& panes, const FrequencyAxis& axis, const LevelAxis& level) const;
  void paintSpectrum(QPainter& p, const QRectF& pane, const Shown& s, const FrequencyAxis& axis,
                     const LevelAxis& level);
  // Fills the pane under line_ (nothing when it is empty).
  void fillUnder(QPainter& p, const QRectF& pane);
  void paintMarks(QPainter& p, const QRectF& pane, const Shown& s, const FrequencyAxis& axis, const LevelAxis& level);
  void paintReadouts(QPainter& p, QSize size, const Panes& panes, const Shown& s, bool overlays);
  QString about() const;
  QString hints() const override;
  std::optional<double> frequencyAt(QPointF at, const Panes& panes) const;

  SpectrumSettings settings_;
  SpectrumModel model_;
  Markers markers_;
  FrozenCopy frozen_;
  mutable Analysis analysis_;
  mutable dsp::FrameEstimator estimator_;
  std::vector<double> average_;  // dB per bin, for averageKey_
  struct {
    uint64_t serial = 0, clears = 0;
    int frames = 0;
    const dsp::FrameHistory* history = nullptr;
  } averageKey_;

  QAction logAction_, resetPeaksAction_, holdAction_, averageAction_, harmonicsAction_, clearMarkersAction_,
      layoutAction_, csvAction_, levelAction_, viewAction_;
  QMenu levelMenu_, holdMenu_, averageMenu_, viewMenu_;
  QAction zoomInAction_, zoomOutAction_, upAction_, downAction_, fineUpAction_, fineDownAction_, fullRangeAction_;

  PlotGrid grid_;
  SpectrogramImage spectrogram_;
  QPolygonF line_, peaksLine_;  // reused between pictures
  uint64_t framesSeen_ = 0;
  QRectF peakMark_;  // where the strongest tone's mark was drawn
};

}  // namespace quorvel::display
