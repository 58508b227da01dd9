// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The A and C weightings: the analytic expression against the standard's
// own table, the digital design against the expression at many rates, and
// tones through the filters at 44.1 and 48 kHz.
#include "dsp/FrequencyWeighting.h"

#include "tests/dsp/ToneSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace dsp;

namespace {
// The third-octave frequencies of IEC 61672-1's table, exact: 1000 * 10^(k / 10).
double third(int k) { return 1000 * std::pow(10.0, k / 10.0); }
}  // namespace

// IEC 61672-1, table 3 (design goals, rounded to 0.1 dB), at 10, 31.5, 100,
// 1k, 4k, 10k and 20 kHz.
TEST(FrequencyWeighting, ExpressionMatchesTheStandardsTable) {
  const struct {
    int k;
    double a, c;
  } rows[] = {{-20, -70.4, -14.3}, {-15, -39.4, -3.0}, {-10, -19.1, -0.3}, {0, 0.0, 0.0},
              {6, 1.0, -0.8},      {10, -2.5, -4.4},   {13, -9.3, -11.2}};
  for (const auto& row : rows) {
    EXPECT_NEAR(weightingDb(Weighting::A, third(row.k)), row.a, 0.05) << third(row.k) << " Hz";
    EXPECT_NEAR(weightingDb(Weighting::C, third(row.k)), row.c, 0.05) << third(row.k) << " Hz";
    EXPECT_EQ(weightingDb(Weighting::Z, third(row.k)), 0);
  }
}

// The design's response within 0.05 dB of the expression from 10 Hz to
// 20 kHz, or to 0.4535 of the rate below 44.1 kHz; at the common rates
// within 0.01 dB.
TEST(FrequencyWeighting, DesignFollowsTheExpression) {
  for (double rate : {8000.0, 22050.0, 32000.0, 44100.0, 48000.0, 64000.0, 80000.0, 96000.0, 192000.0}) {
    for (Weighting w : {Weighting::A, Weighting::C}) {
      const WeightingFilter filter(w, rate);
      const double top = std::min(20000.0, 0.4535 * rate);
      double worst = 0, at = 0;
      for (double hz = 10; hz <= top; hz *= 1.002) {
        const double e = filter.responseDb(hz) - weightingDb(w, hz);
        if (std::fabs(e) > std::fabs(worst)) worst = e, at = hz;
      }
      const bool common = rate == 44100 || rate == 48000 || rate == 96000;
      EXPECT_LT(std::fabs(worst), common ? 0.01 : 0.05)
          << weightingLetter(w) << " at " << rate << " Hz: " << worst << " dB at " << at << " Hz";
    }
  }
}

// Tones at every third-octave frequency from 10 Hz to 20 kHz through the
// filters, read back by a fit once they have settled.
TEST(WeightingFilter, TonesReadTheirWeighting) {
  for (double rate : {44100.0, 48000.0}) {
    for (Weighting w : {Weighting::A, Weighting::C, Weighting::Z}) {
      WeightingFilter filter(w, rate);
      const double working = filter.workingRate();
      for (int k = -20; k <= 13; ++k) {
        const double hz = third(k);
        const std::vector<float> x = test::sine(hz, 0.5, rate, 1.0);
        std::vector<double> y(x.size() * size_t(filter.oversampling()));
        filter.reset();
        filter.process(x.data(), x.size(), y.data());
        const double db =
            20 * std::log10(test::fittedAmplitude(y.data(), y.size() * 4 / 5, y.size(), hz, working) / 0.5);
        EXPECT_NEAR(db, weightingDb(w, hz), 0.05) << weightingLetter(w) << ", " << hz << " Hz at " << rate << " Hz";
      }
    }
  }
}

// Digital silence after a tone: the filter's ring-down goes to zero rather
// than through the denormal numbers that would make each sample cost tens of times
// more (the lowest poles get there after some 8 s).
TEST(WeightingFilter, SilenceRingsDownToZeroNotToDenormals) {
  WeightingFilter filter(Weighting::A, 44100);
  const std::vector<float> tone = test::sine(1000, 0.5, 44100, 0.5);
  std::vector<double> y(tone.size() * 2);
  filter.process(tone.data(), tone.size(), y.data());
  const std::vector<float> silence(44100, 0.0f);
  y.resize(silence.size() * 2);
  int denormal = 0;
  for (int second = 0; second < 20; ++second) {
    filter.process(silence.data(), silence.size(), y.data());
    for (double v : y) denormal += std::fpclassify(v) == FP_SUBNORMAL;
  }
  EXPECT_EQ(denormal, 0);
}
