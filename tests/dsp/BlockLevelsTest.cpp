// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Peak and RMS of blocks as the sound card gives them, 16-bit and 8-bit.
#include "dsp/BlockLevels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

using namespace dsp;

TEST(BlockLevels, SixteenAndEightBitBlocksOfKnownLevel) {
  constexpr double kInf = INFINITY;
  const std::vector<int16_t> square{16384, -16384, 16384, -16384}, extremes{-32768, 32767}, silence(8, 0);
  const std::vector<uint8_t> eightSquare{192, 64, 192, 64}, eightSilence(8, 128), eightExtremes{0, 128};
  const struct {
    const char* name;
    const void* data;
    size_t bytes;
    bool sixteenBit;
    double peakDb, rmsDb;
  } cases[] = {
      // RMS as AES17 reads it: a full-scale sine is 0 dBFS, so a square is +3.01 dB above its peak.
      {"square at half scale", square.data(), 8, true, -6.0206, -3.0103},
      {"a last odd byte is no sample", square.data(), 7, true, -6.0206, -3.0103},
      {"both extremes", extremes.data(), 4, true, 0, 10 * std::log10(1 + std::pow(32767 / 32768.0, 2))},
      {"silence", silence.data(), 16, true, -kInf, -kInf},
      {"empty", square.data(), 0, true, -kInf, -kInf},
      {"8-bit square at half scale", eightSquare.data(), 4, false, -6.0206, -3.0103},
      {"8-bit silence is 128", eightSilence.data(), 8, false, -kInf, -kInf},
      {"8-bit extreme and silence", eightExtremes.data(), 2, false, 0, 0},
  };
  for (const auto& c : cases) {
    const BlockLevels l = MeasureBlock(c.data, c.bytes, c.sixteenBit);
    if (std::isinf(c.peakDb)) {
      EXPECT_EQ(l.peakDb, c.peakDb) << c.name;
      EXPECT_EQ(l.rmsDb, c.rmsDb) << c.name;
    } else {
      EXPECT_NEAR(l.peakDb, c.peakDb, 1e-4) << c.name;
      EXPECT_NEAR(l.rmsDb, c.rmsDb, 1e-4) << c.name;
    }
  }
}
