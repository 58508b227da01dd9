// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The strongest bin of a frame's levels.
#include "dsp/PeakHold.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dsp;

TEST(PeakHold, NoStrongestBinInSilence) {
  // Silence reaches the scope as every level at the analyser's floor, which
  // used to read as a peak at 0 Hz.
  EXPECT_EQ(strongestBin(std::vector<double>(1025, -200.0)), -1);
  std::vector<double> levels(1025, -200.0);
  levels[93] = -20;
  EXPECT_EQ(strongestBin(levels), 93);
}
