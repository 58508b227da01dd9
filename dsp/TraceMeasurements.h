// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What is measured on the points of a trace: levels, DC, and the period.
//
// Levels are in full scale (a sample n of 16 bits is n / 32768), and in dBFS
// as 20 log10 of the value, so a sine of peak 0.5 reads -6.02 dBFS peak and
// -9.03 dBFS RMS.
#pragma once

#include "dsp/TraceHistory.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace dsp {

// Sums over points [from, to) of a history (those it still holds).
struct PointStats {
  size_t count = 0;
  double min = 0, max = 0;
  double sum = 0, sumSquares = 0;

  double mean() const;
  double rms() const;
  double peakToPeak() const { return max - min; }
};
PointStats pointStats(const TraceHistory& h, int64_t from, int64_t to);

struct TraceMeasurements {
  size_t count = 0;  // points measured; none: nothing else is meaningful
  double min = 0, max = 0;
  double peak = 0;  // largest magnitude
  // Over the whole cycles between the first and the last crossing when a
  // period was found, so that a part of a cycle at the screen's edges does
  // not bias them; over every point otherwise.
  double rms = 0, dc = 0;
  // The period in points, averaged over the cycles found; none when fewer
  // than one whole cycle is on screen or the signal has no swing.
  std::optional<double> periodPoints;
  int cycles = 0;

  double peakToPeak() const { return max - min; }
  double crestFactor() const { return rms > 0 ? peak / rms : 0; }
  std::optional<double> frequencyHz(int rate) const;
  std::optional<double> periodMs(int rate) const;
};

// Measures points [from, to). The period comes from the rising crossings of
// the middle between the smallest and the largest value, with a hysteresis
// of a tenth of the peak-to-peak value (so noise and small ripple make no
// extra crossings), each interpolated between points (CrossingDetector): the
// first and the last crossing are whole cycles apart, and their distance
// divided by the number of cycles is the period. Error in the instants does
// not add up over cycles, so the estimate gets better with every cycle on
// screen: for a steady tone a few thousandths of a point over the whole span.
TraceMeasurements measure(const TraceHistory& h, int64_t from, int64_t to);

// 20 log10 of a magnitude in full scale; -infinity for 0.
double dbfs(double fullScale);

// A value at full scale: +-32767/32768 or beyond, as the clip indicator counts it.
inline bool atFullScale(float v) { return v >= 32767.0f / 32768.0f || v <= -32767.0f / 32768.0f; }

}  // namespace dsp
