// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The strongest tone of a frame, read between bins from what the program
// sends for tones at known frequencies and levels.
#include "dsp/ToneFit.h"

#include "tests/dsp/ProgramFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

using namespace dsp;
using namespace dsp::test;

TEST(ToneFit, ToneFrequencyAndLevelBetweenBins) {
  const WindowShape shape(2048);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> phase(0, 2 * std::numbers::pi);
  std::vector<double> frequencies{100.0, 1000.0, 20000.0};
  for (double bin : {4.0, 11.0, 46.0, 300.0, 700.0, 928.0})
    for (double offset : {0.0, 0.1, 0.25, 0.4, 0.5, 0.6, 0.75, 0.9}) frequencies.push_back((bin + offset) * kBinHz);
  for (double level : {-6.0, -40.0})
    for (double hz : frequencies) {
      if (hz < 100 || hz > 20000) continue;
      const std::optional<Tone> t = strongestTone(magnitudesOf({{hz, std::pow(10, level / 20), phase(rng)}}), shape);
      ASSERT_TRUE(t) << hz;
      EXPECT_NEAR(t->hz(kBinHz), hz, 0.1) << level << " dBFS";
      EXPECT_NEAR(t->dbfs(), level, 0.05) << hz << " Hz";
    }
}

TEST(ToneFit, NoToneInSilenceOrInAFrameWithoutAmplitudes) {
  const WindowShape shape(2048);
  EXPECT_FALSE(strongestTone(magnitudesOf({}), shape));
  std::vector<double> flat;
  transformMagnitudes(std::vector<double>(1024, 0.0), 2048, flat);  // value 1 = 0 everywhere
  EXPECT_FALSE(strongestTone(flat, shape));
}
