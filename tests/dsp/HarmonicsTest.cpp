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
      const std::optional<Tone> tone = strongestTone(mag, shape).tone;
      ASSERT_TRUE(tone);
      const HarmonicAnalysis h = HarmonicAnalyser().analyse(mag, *tone, shape, kBinHz);
      EXPECT_EQ(h.harmonics.size(), partials.size() - 1);
      // Harmonics deep in a low fundamental's leakage may be only bounded.
      if (h.thdIsBound)
        EXPECT_GE(h.thd, thd) << fundamental << " Hz, trial " << trial;
      else
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
    const HarmonicAnalysis h = HarmonicAnalyser().analyse(mag, *strongestTone(mag, shape).tone, shape, kBinHz);
    const double truth = 10 * std::log10(std::pow(10, -4.5) + inBand * std::pow(10, noiseDb / 10));
    EXPECT_NEAR(dbfs(h.thd), -45, 0.5) << noiseDb;
    EXPECT_EQ(h.thdPlusNoiseIsBound, noiseDb < -60) << noiseDb;
    if (h.thdPlusNoiseIsBound)
      EXPECT_GE(dbfs(h.thdPlusNoise), truth - 0.1);
    else
      EXPECT_NEAR(dbfs(h.thdPlusNoise), truth, 0.5);
  }
}

// THD over the band and past its edges, 16-bit as a sound card gives it:
// right within 0.5 dB, or for a pure tone under 0.01 % or only bounded, or
// not read at all, with the reason.
TEST(HarmonicAnalyser, ThdIsRightOrWithheldOverTheBand) {
  const WindowShape shape(2048);
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> phase(0, 2 * std::numbers::pi);
  auto frame16 = [&](double hz, double h2Db, double h3Db) {
    const double a2 = 0.5 * std::pow(10, h2Db / 20), a3 = 0.5 * std::pow(10, h3Db / 20);
    const double p1 = phase(rng), p2 = phase(rng), p3 = phase(rng);
    std::vector<double> x(2048);
    for (int n = 0; n < 2048; ++n) {
      const double t = 2 * std::numbers::pi * hz * n / kRate;
      double v = 0.5 * std::sin(t + p1);
      if (2 * hz < kRate / 2) v += a2 * std::sin(2 * t + p2);
      if (3 * hz < kRate / 2) v += a3 * std::sin(3 * t + p3);
      x[size_t(n)] = std::round(v * 32768) / 32768;
    }
    std::vector<double> mag;
    transformMagnitudes(analysed(x), 2048, mag);
    return mag;
  };
  constexpr double kPure = -300;
  const struct {
    double hz, h2Db, h3Db;
    NoThd why;
  } cases[] = {
      {20, kPure, kPure, NoThd::FundamentalTooLow},
      {50, -40, -50, NoThd::FundamentalTooLow},
      {80, kPure, kPure, NoThd::FundamentalTooLow},
      {100, kPure, kPure, NoThd::None},
      {150, -40, -50, NoThd::None},
      {200, kPure, kPure, NoThd::None},
      {1000, kPure, kPure, NoThd::None},
      {1000, -60, -70, NoThd::None},
      {5000, -40, -50, NoThd::None},
      {10000, kPure, kPure, NoThd::None},
      // 2f beyond the frame: nothing to read, not 0 %.
      {11500, -20, kPure, NoThd::NoHarmonicInFrame},
      {20000, kPure, kPure, NoThd::NoHarmonicInFrame},
  };
  for (const auto& c : cases)
    for (int trial = 0; trial < 3; ++trial) {
      const std::vector<double> mag = frame16(c.hz, c.h2Db, c.h3Db);
      const ToneReading tone = strongestTone(mag, shape);
      ASSERT_TRUE(tone.tone) << c.hz;
      const HarmonicAnalysis h = HarmonicAnalyser().analyse(mag, *tone.tone, shape, kBinHz);
      EXPECT_EQ(h.why, c.why) << c.hz << " Hz";
      if (h.why != NoThd::None) continue;
      double truth = 0;
      for (auto [n, db] : {std::pair{2, c.h2Db}, std::pair{3, c.h3Db}})
        if (n <= h.highestOrder) truth += std::pow(10, db / 10);
      truth = std::sqrt(truth);
      if (c.h2Db == kPure) {
        EXPECT_TRUE(h.thdIsBound || h.thd < 1e-4) << c.hz << " Hz pure reads " << h.thd * 100 << " %";
      } else if (h.thdIsBound) {
        EXPECT_GE(h.thd, truth) << c.hz << " Hz: a bound below the truth";
      } else {
        EXPECT_NEAR(dbfs(h.thd), dbfs(truth), 0.5) << c.hz << " Hz";
      }
    }
}
