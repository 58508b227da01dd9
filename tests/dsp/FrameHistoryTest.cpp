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

// A copy (a frozen view's) holds the same frames in the same order, before
// and after the ring wrapped, whatever it held before.
TEST(FrameHistory, ACopyHoldsTheSameFrames) {
  struct Case {
    int capacity, frames;
  };
  for (const Case c : {Case{4, 0}, Case{4, 3}, Case{4, 4}, Case{4, 11}, Case{1, 2}}) {
    FrameHistory h(3, c.capacity);
    h.clear();
    for (int f = 0; f < c.frames; ++f) h.push({-100.0 + f, -50.0 - f, 10.0 * f});
    FrameHistory assigned(5, 2);
    assigned.push({0, 0, 0, 0, 0});
    assigned = h;
    const FrameHistory built(h);
    const FrameHistory* copies[] = {&assigned, &built};
    for (const FrameHistory* copy : copies) {
      ASSERT_EQ(copy->bins(), 3);
      ASSERT_EQ(copy->capacity(), c.capacity);
      ASSERT_EQ(copy->size(), h.size()) << c.frames << " frames";
      EXPECT_EQ(copy->serial(), h.serial());
      EXPECT_EQ(copy->clears(), h.clears());
      for (int age = 0; age < h.size(); ++age)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(copy->row(age)[k], h.row(age)[k]) << c.frames << " frames, age " << age;
    }
  }
}
