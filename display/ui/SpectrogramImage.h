// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The spectrogram's picture: one row of pixels per frame in a ring image,
// the newest frame at the top, older ones below it, coloured by level in a
// perceptual colour map (dark and blue-violet for quiet, through red and
// orange, to pale yellow for loud; dsp/ColourMap) over the spectrum's level
// range.
//
// A new frame costs one row: the ring is only redrawn whole when the
// frequency axis, the level range or the width changes.
#pragma once

#include "display/spectrum/SpectrumSettings.h"
#include "display/ui/PlotAxes.h"
#include "dsp/FrameHistory.h"

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <cstdint>
#include <utility>
#include <vector>

namespace quorvel::display {

class SpectrogramImage {
 public:
  // Brings the ring up to date with the history and draws it into pane.
  void paint(QPainter& p, const QRectF& pane, const dsp::FrameHistory& history, const FrequencyAxis& axis, double binHz,
             const LevelRange& range);

  // The ring: history().capacity() rows; the newest frame is in row
  // newestRow(), the one before it in the row below, wrapping to row 0.
  const QImage& ring() const { return ring_; }
  int newestRow() const;

  // The colour of a level a fraction t (0 ... 1) up the level range.
  static QRgb colour(double t);

 private:
  struct Geometry {
    int columns = 0, rows = 0, bins = 0;
    double maxHz = 0, binHz = 0;
    bool log = false;
    LevelRange range;
    uint64_t clears = 0;
    bool operator==(const Geometry&) const = default;
  };
  void rebuild(const Geometry& g, const FrequencyAxis& axis, const QRectF& pane);
  void drawFrame(const float* powers, uint64_t frame);

  Geometry geometry_;
  QImage ring_;
  uint64_t drawn_ = 0;  // frames of the history drawn into the ring
  // The bins each column shows: first and last (the loudest of them counts).
  std::vector<std::pair<int, int>> columnBins_;
};

}  // namespace quorvel::display
