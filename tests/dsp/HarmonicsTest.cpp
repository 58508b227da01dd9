// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The harmonics of the strongest tone, THD and THD+N, read from what the
// program sends for tones with known harmonics and noise.
#include "dsp/Harmonics.h"

#include "tests/dsp/ProgramFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

using namespace dsp;
using namespace dsp::test;

namespace {

double dbfs(double amplitude) { return 20 * std::log10(amplitude); }

}  // namespace

TEST(HarmonicAnalyser, ThdOfSyntheticHarmonicsFortyToEightyDbDown) {
  const WindowShape shape(2048);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> phase(0, 2 * std::numbers::pi), down(40, 80);
  for (double fundamental : {1000.0 + 0.37 * kBinHz, 212.0, 3150.0}) {
    for (int trial = 0; trial < 3; ++trial) {
      // Every harmonic at -80 dB first (leakage weighs most), then mixed.
      std::vector<Partial> partials{{fundamental, 0.5, phase(rng)}};
      double sum = 0;
      for (int n = 2; n <= kHighestHarmonic && n * fundamental < 21500; ++n) {
        const double a = 0.5 * std::pow(10, -(trial == 0 ? 80 : down(rng)) / 20);
        partials.push_back({n * fundamental, a, phase(rng)});
        sum += a * a;
      }
      const double thd = std::sqrt(sum) / 0.5;
      const std::vector<double> mag = magnitudesOf(partials);
      const std::optional<Tone> tone = strongestTone(mag, shape);
      ASSERT_TRUE(tone);
      const HarmonicAnalysis h = HarmonicAnalyser().analyse(mag, *tone, shape, kBinHz);
      EXPECT_EQ(h.harmonics.size(), partials.size() - 1);
      EXPECT_NEAR(dbfs(h.thd), dbfs(thd), 0.5) << fundamental << " Hz, trial " << trial;
      EXPECT_NEAR(dbfs(h.thdPlusNoise), dbfs(thd), 0.5) << "nothing but harmonics: THD+N is THD";
    }
  }
  // White noise joins THD+N, not THD; far below the fundamental's leakage
  // only a bound can be given, and it holds.
  const double inBand = (20000.0 - 20.0) / (kRate / 2);  // the share of the noise in the band measured
  for (double noiseDb : {-50.0, -80.0}) {
    const double sigma = 0.5 / std::sqrt(2.0) * std::pow(10, noiseDb / 20);
    const std::vector<double> mag = magnitudesOf({{997, 0.5, 0}, {1994, 0.5 * std::pow(10, -45 / 20.0), 1}}, sigma);
    const HarmonicAnalysis h = HarmonicAnalyser().analyse(mag, *strongestTone(mag, shape), shape, kBinHz);
    const double truth = 10 * std::log10(std::pow(10, -4.5) + inBand * std::pow(10, noiseDb / 10));
    EXPECT_NEAR(dbfs(h.thd), -45, 0.5) << noiseDb;
    EXPECT_EQ(h.thdPlusNoiseIsBound, noiseDb < -60) << noiseDb;
    if (h.thdPlusNoiseIsBound)
      EXPECT_GE(dbfs(h.thdPlusNoise), truth - 0.1);
    else
      EXPECT_NEAR(dbfs(h.thdPlusNoise), truth, 0.5);
  }
}
