// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Frames as the program sends them: samples through the program's own
// analyser (window, single-precision transform, its level formulas), and
// the bin magnitudes the estimators read from the frame's value 1.
#pragma once

#include "analysis/FFT_Unit.h"
#include "dsp/ToneFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace dsp::test {

inline constexpr double kRate = 44100, kBinHz = kRate / 2048;

struct Partial {
  double hz, amplitude, phase;
};

// The bins' value 1 of the frame the program sends for these samples.
inline std::vector<double> analysed(const std::vector<double>& x) {
  static std::vector<ScopePoint> sent;
  sent.clear();
  EXPECT_TRUE(analysis::FFT_Init());
  for (int n = 0; n < analysis::kFFTPoints; ++n) analysis::StoreSample(n, float(x[size_t(n)]));
  analysis::FFT_Spectrum();
  ScopePoint point{};
  analysis::SpectrumFrame(
      analysis::PowerBuffer, 2048, [](int32_t, const ScopePoint* p) { sent.push_back(*p); }, 1, point);
  analysis::FFT_Free();
  std::vector<double> amplitudes;
  for (size_t i = 1 + ScopeFrameHeaderPoints; i < sent.size(); ++i) amplitudes.push_back(sent[i].Value[1]);
  return amplitudes;
}

inline std::vector<double> magnitudesOf(const std::vector<Partial>& partials, double noise = 0) {
  std::vector<double> x(2048, 0.0);
  std::mt19937 rng(7);
  std::normal_distribution<double> white(0, noise);
  for (int n = 0; n < 2048; ++n) {
    for (const Partial& p : partials)
      x[size_t(n)] += p.amplitude * std::sin(2 * std::numbers::pi * p.hz * n / kRate + p.phase);
    if (noise > 0) x[size_t(n)] += white(rng);
  }
  std::vector<double> mag;
  transformMagnitudes(analysed(x), 2048, mag);
  return mag;
}

}  // namespace dsp::test
