// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Numbers as the exports write them, digit for digit.
#include "dsp/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace dsp;

TEST(NumberText, DigitsRoundingSignsAndValuesThatAreNotNumbers) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double v;
    int decimals;
    const char *text, *orNone;
  } cases[] = {
      {-6.0206, 2, "-6.02", "-6.02"},
      {21.533203125, 4, "21.5332", "21.5332"},
      // Exactly halfway: away from zero (bin 64 of 2048 at 44100 Hz), also
      // where the carry runs through every digit and where a unit of the
      // double is coarser than the last decimal.
      {64 * 21.533203125, 2, "1378.13", "1378.13"},
      {-0.125, 2, "-0.13", "-0.13"},
      {999.5, 0, "1000", "1000"},
      {894357322570.3671875, 6, "894357322570.367188", "894357322570.367188"},
      // Near halfway is not halfway: 0.15 is held as 0.1499999...
      {0.15, 1, "0.1", "0.1"},
      // No sign on what rounds to zero.
      {-0.001, 2, "0.00", "0.00"},
      {-0.0, 5, "0.00000", "0.00000"},
      {-1e-300, 2, "0.00", "0.00"},
      {-kInf, 2, "-inf", "none"},
      {kInf, 2, "inf", "none"},
      {std::nan(""), 4, "nan", "none"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fixedText(c.v, c.decimals), c.text) << c.v;
    EXPECT_EQ(fixedOrNone(c.v, c.decimals), c.orNone) << c.v;
  }
}

TEST(NumberText, TracePointsComeBackExactly) {
  const struct {
    float v;
    const char* text;
  } cases[] = {
      {1 / 32768.0f, "0.000030517578125"},
      {-12345 / 32768.0f, "-0.376739501953125"},
      {-1, "-1.0"},
      {0.5f, "0.5"},
      {-0.0f, "0.0"},
      {1e9f, "1000000000.0"},
      // Off the 16-bit grid: the fewest decimals that give the same float back.
      {0.1f, "0.1"},
      {1e-7f, "0.0000001"},
      {NAN, "none"},
      {-INFINITY, "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(sampleText(c.v), c.text) << c.v;
}
