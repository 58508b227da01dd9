// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What is measured on the points of a trace: levels, DC, and the period.
//
// Levels are in full scale (a sample n of 16 bits is n / 32768). In dBFS,
// as AES17 has it, a full-scale sine is 0 dBFS: a sample (or the peak) is
// 20 log10 of its magnitude, and an RMS value 20 log10(rms sqrt 2), so a
// sine of peak 0.5 reads -6.02 dBFS peak and -6.02 dBFS RMS.
#pragma once

#include "dsp/TraceHistory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace dsp {

// Sums over points [from, to) of a history (those it still holds), or over
// any stream of samples added run by run.
struct PointStats {
  size_t count = 0;
  double min = 0, max = 0;
  double sum = 0, sumSquares = 0;

  // n values, `stride` apart (one channel of interleaved frames).
  void add(const float* v, size_t n, size_t stride = 1);
  double peak() const { return std::max(-min, max); }
  double crestFactor() const { return rms() > 0 ? peak() / rms() : 0; }
  double mean() const;
  double rms() const;
  double peakToPeak() const { return max - min; }
};
PointStats pointStats(const TraceHistory& h, int64_t from, int64_t to);

// Why a trace has no period.
enum class NoPeriod {
  None,            // it has one
  NoSwing,         // flat: less than three 16-bit steps from lowest to highest
  LessThanACycle,  // fewer than two crossings
  Irregular,       // crossings that are not evenly spaced: noise, beating tones
};

struct TraceMeasurements {
  size_t count = 0;  // points measured; none: nothing else is meaningful
  double min = 0, max = 0;
  double peak = 0;  // largest magnitude
  // Over the whole cycles between the first and the last crossing, so that
  // a part of a cycle at the screen's edges does not bias them; over every
  // point of a flat trace. None when the screen holds a swing but less than
  // one whole cycle: no average of a part of a cycle is the signal's.
  std::optional<double> rms, dc;
  // The period in points and its standard uncertainty; none (see why) when
  // the crossings do not give one that can be trusted.
  std::optional<double> periodPoints;
  double periodUncertainty = 0;
  NoPeriod why = NoPeriod::None;
  int cycles = 0;

  double peakToPeak() const { return max - min; }
  std::optional<double> crestFactor() const;
  std::optional<double> frequencyHz(int rate) const;
  std::optional<double> periodMs(int rate) const;
  // Decimals the frequency (in Hz) and the period (in ms) are good to: one
  // unit of the last is at least three standard uncertainties.
  int frequencyDecimals(int rate) const;
  int periodDecimals(int rate) const;
};

// Measures points [from, to).
//
// The period comes from the rising crossings of the middle between the
// smallest and the largest value, with a hysteresis of a tenth of the
// peak-to-peak value (so noise and small ripple make no extra crossings),
// each interpolated between points (CrossingDetector). A straight line
// through the crossing instants against their count gives the period, and
// the scatter about it its uncertainty: interpolation error does not add up
// over cycles, so the estimate gets better with every cycle on screen. It is
// withheld when a spacing of two crossings is more than a quarter of a period
// off, or the instants scatter by more than a few percent of a period (a
// crossing missed or made by noise, two tones beating).
//
// Above a quarter of the rate a tone has fewer than four points a cycle,
// and some cycles do not cross the hysteresis band. Such a trace is
// measured again with every other point negated: that moves a tone at f to
// rate / 2 - f, where it has points enough.
TraceMeasurements measure(const TraceHistory& h, int64_t from, int64_t to);

// 20 log10 of a magnitude in full scale (a sample, a peak); -infinity for 0.
double dbfs(double fullScale);
// An RMS value in dBFS as AES17 has it: a full-scale sine (RMS 1/sqrt 2)
// reads 0 dBFS, so a full-scale square wave reads +3.01.
double rmsDbfs(double rms);
// How the exports state it.
inline constexpr const char* kDbfsConvention =
    "AES17: a full-scale sine is 0 dBFS RMS; sample peaks are relative to full scale";

// A value at full scale: +-32767/32768 or beyond, as the clip indicator counts it.
inline bool atFullScale(float v) { return v >= 32767.0f / 32768.0f || v <= -32767.0f / 32768.0f; }

}  // namespace dsp
