// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real transform on signals with known answers, at lengths with and
// without small prime factors: silence, DC, and a cosine on a bin at its
// exact level with every other bin below a floor.
#include "dsp/RealFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

using namespace dsp;

TEST(RealFft, SilenceDcAndAToneOnABin) {
  EXPECT_FALSE(RealFft::create(0));
  for (int points : {6, 1000, 1021, 2048}) {
    const std::unique_ptr<RealFft> fft = RealFft::create(points);
    ASSERT_TRUE(fft) << points;
    ASSERT_EQ(fft->bins(), points / 2 + 1);
    const double n = points;
    const int bin = points / 3;
    const struct {
      const char* name;
      double dc, amplitude;
    } signals[] = {{"silence", 0, 0}, {"DC", 0.25, 0}, {"tone", 0, 0.5}, {"silence again", 0, 0}};
    for (const auto& signal : signals) {
      std::vector<float> x(static_cast<size_t>(points));
      for (int i = 0; i < points; ++i)
        x[size_t(i)] = float(signal.dc + signal.amplitude * std::cos(2 * std::numbers::pi * bin * i / n + 0.7));
      std::copy(x.begin(), x.end(), fft->input());
      fft->execute();
      EXPECT_EQ(std::vector<float>(fft->input(), fft->input() + points), x) << "the input stays as it was";
      for (int k = 0; k < fft->bins(); ++k) {
        const double expected = k == 0 ? signal.dc * n : k == bin ? signal.amplitude * n / 2 : 0;
        EXPECT_NEAR(std::abs(fft->output()[k]), expected, 1e-5 * n)
            << signal.name << ", " << points << " points, bin " << k;
      }
      if (signal.amplitude > 0) {
        EXPECT_NEAR(std::arg(fft->output()[bin]), 0.7, 1e-4) << points << " points";
      }
    }
  }
}

// The inverse brings a transform back, times the length, for even and odd
// lengths, and leaves its input as it was.
TEST(RealFft, TheInverseUndoesTheTransform) {
  EXPECT_FALSE(InverseRealFft::create(0));
  for (int points : {6, 1021, 4096}) {
    const std::unique_ptr<RealFft> forward = RealFft::create(points);
    const std::unique_ptr<InverseRealFft> inverse = InverseRealFft::create(points);
    ASSERT_TRUE(forward && inverse) << points;
    for (int i = 0; i < points; ++i) forward->input()[i] = float(std::sin(0.37 * i * i) + 0.1);
    forward->execute();
    std::copy(forward->output(), forward->output() + forward->bins(), inverse->input());
    inverse->execute();
    for (int i = 0; i < points; ++i) EXPECT_NEAR(inverse->output()[i] / points, forward->input()[i], 2e-5) << i;
    for (int k = 0; k < inverse->bins(); ++k) EXPECT_EQ(inverse->input()[k], forward->output()[k]) << k;
  }
}
