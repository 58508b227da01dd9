// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The frames' powers kept for the spectrogram and the power average.
#include "dsp/FrameHistory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace dsp;

// The power average: the mean of the bins' powers over the newest frames
// (fewer while fewer are held), in dB. A full-scale frame and a silent one
// average to half the power, -3 dB; an average of the levels would not.
TEST(FrameHistory, PowerAverageOfTheNewestFrames) {
  FrameHistory h(1, 8);
  std::vector<double> out;
  h.averageDb(4, out);
  EXPECT_TRUE(out.empty()) << "nothing before the first frame";
  auto push = [&](double amplitude) { h.push({-100 + 100 * amplitude}); };
  struct Step {
    double amplitude;
    int frames;
    double db;
  };
  const Step steps[] = {{1.0, 4, 0.0},
                        {0.0, 4, 10 * std::log10(0.5)},
                        {0.5, 4, 10 * std::log10(1.25 / 3)},
                        {0.5, 2, 10 * std::log10(0.25)},
                        {0.5, 4, 10 * std::log10(0.75 / 4)},
                        {0.5, 4, 10 * std::log10(0.25)}};
  for (const Step& s : steps) {
    push(s.amplitude);
    h.averageDb(s.frames, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0], s.db, 1e-5) << s.amplitude << " over " << s.frames;
  }
}
