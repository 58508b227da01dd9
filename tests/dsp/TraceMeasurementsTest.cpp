// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What is measured on the points of a trace: known signals, 16-bit as the
// program sends them.
#include "dsp/TraceMeasurements.h"

#include "tests/dsp/Sample16.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace dsp;
using dsp::test::sample16;

namespace {

constexpr int kRate = 44100;
constexpr double kTwoPi = 2 * std::numbers::pi;

}  // namespace

TEST(TraceMeasurements, KnownSignalsReadWithinTheirTolerances) {
  TraceHistory h(4096);
  auto of = [&](auto f) {
    h.clear();
    for (long i = 0; i < 2048; ++i) h.add(float(f(i)));
    return measure(h, 0, 2048);
  };
  const TraceMeasurements sine = of([](long i) { return sample16(0.5, 1000, i); });
  ASSERT_TRUE(sine.frequencyHz(kRate));
  EXPECT_NEAR(*sine.frequencyHz(kRate), 1000, 0.1) << "within 0.01 %";
  EXPECT_NEAR(*sine.periodMs(kRate), 1, 1e-4);
  EXPECT_NEAR(dbfs(sine.peak), -6.02, 0.01);
  EXPECT_NEAR(dbfs(sine.rms), -9.03, 0.01);
  EXPECT_NEAR(sine.peakToPeak(), 1.0, 1e-3);
  EXPECT_NEAR(sine.dc, 0, 1e-4);
  EXPECT_NEAR(sine.crestFactor(), std::sqrt(2.0), 0.005);

  const TraceMeasurements square = of([](long i) { return (i / 20) % 2 ? -0.5 : 0.5; });
  ASSERT_TRUE(square.frequencyHz(kRate));
  EXPECT_NEAR(*square.frequencyHz(kRate), kRate / 40.0, kRate / 40.0 * 1e-4);
  EXPECT_NEAR(dbfs(square.rms), -6.02, 0.01);
  EXPECT_NEAR(square.crestFactor(), 1, 1e-3);
  EXPECT_NEAR(square.dc, 0, 1e-4) << "over whole cycles, not the screen's part-cycle";

  const TraceMeasurements offset =
      of([](long i) { return 0.3 + 0.4 * std::sin(kTwoPi * 440 * double(i) / kRate + 1); });
  ASSERT_TRUE(offset.frequencyHz(kRate));
  EXPECT_NEAR(*offset.frequencyHz(kRate), 440, 0.044);
  EXPECT_NEAR(offset.dc, 0.3, 1e-3);
  EXPECT_NEAR(offset.peakToPeak(), 0.8, 2e-3);
  EXPECT_NEAR(offset.rms, std::sqrt(0.09 + 0.08), 1e-3);
}
