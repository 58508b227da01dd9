// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What is measured on the points of a trace: known signals, 16-bit as the
// program sends them, over the band and past its edges.
#include "dsp/TraceMeasurements.h"

#include "tests/dsp/Sample16.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <random>

using namespace dsp;
using dsp::test::sample16;

namespace {

constexpr int kRate = 44100;
constexpr double kTwoPi = 2 * std::numbers::pi;

}  // namespace

TEST(TraceMeasurements, KnownSignalsReadRightOrNotAtAll) {
  std::mt19937 rng(5);
  std::normal_distribution<double> white(0, 1);
  auto quantised = [](double v) { return std::round(std::clamp(v, -1.0, 32767 / 32768.0) * 32768) / 32768; };
  auto tone = [](double hz, double peak = 0.5) { return [=](long i) { return sample16(peak, hz, i); }; };
  // A reading that must be withheld is NAN; so is an RMS or DC that may
  // read anything (`loose`, where a frequency, if read, need only be right
  // within its digits).
  constexpr double kNo = NAN;
  const struct {
    const char* name;
    std::function<double(long)> f;
    long points;
    double hz, rmsDbfs, dc;
    bool loose = false;  // noise: a frequency, if any, within the digits it is shown with
  } cases[] = {
      {"1 kHz", tone(1000), 2048, 1000, -6.02, 0},
      {"square", [](long i) { return (i / 20) % 2 ? -0.5 : 0.5; }, 2048, kRate / 40.0, -3.01, 0},
      {"offset 440 Hz", [](long i) { return 0.3 + 0.4 * std::sin(kTwoPi * 440 * double(i) / kRate + 1); }, 2048, 440,
       20 * std::log10(std::sqrt(2 * (0.09 + 0.08))), 0.3},
      {"20 Hz, a second", tone(20), 44100, 20, -6.02, 0},
      // Less than a cycle: neither period nor level of a part of one.
      {"20 Hz, 46 ms", tone(20), 2048, kNo, kNo, kNo},
      {"10 kHz", tone(10000), 2048, 10000, -6.02, 0},
      {"12.5 kHz", tone(12500), 2048, 12500, -6.02, 0},
      {"17 kHz", tone(17000), 2048, 17000, -6.02, 0},
      {"19 kHz", tone(19000), 2048, 19000, -6.02, 0},
      {"0.45 of the rate", tone(19845), 2048, 19845, -6.02, 0},
      {"20 kHz", tone(20000), 2048, 20000, -6.02, 0},
      {"20 kHz, 1 ms", tone(20000), 44, 20000, kNo, kNo, true},
      {"noise", [&](long) { return quantised(0.1 * white(rng)); }, 2048, kNo, kNo, kNo, true},
      {"1 kHz, 12 dB SNR",
       [&](long i) { return quantised(0.5 * std::sin(kTwoPi * 1000 * i / kRate) + 0.0887 * white(rng)); }, 2048, 1000,
       kNo, kNo, true},
      {"beating tones", [](long i) { return sample16(0.25, 1000, i) + sample16(0.25, 1030, i); }, 2048, kNo, kNo, kNo,
       true},
  };
  TraceHistory h(44100);
  for (const auto& c : cases) {
    h.clear();
    for (long i = 0; i < c.points; ++i) h.add(float(c.f(i)));
    const TraceMeasurements m = measure(h, 0, c.points);
    const std::optional<double> hz = m.frequencyHz(kRate);
    if (std::isnan(c.hz)) {
      EXPECT_FALSE(hz) << c.name << " reads " << *hz;
    } else if (hz) {
      // Right within the digits shown, and within 0.01 % where the signal is clean.
      const double unit = std::pow(10, -m.frequencyDecimals(kRate));
      EXPECT_LE(std::fabs(*hz - c.hz), unit) << c.name << " shown to " << unit << " Hz";
      if (!c.loose) {
        EXPECT_LE(std::fabs(*hz - c.hz), 1e-4 * c.hz) << c.name;
      }
      EXPECT_NEAR(*m.periodMs(kRate), 1000 / c.hz, 1000 / c.hz * (c.loose ? 0.01 : 1e-4)) << c.name;
    } else {
      EXPECT_TRUE(c.loose) << c.name << ": no frequency";
    }
    if (!c.loose || !std::isnan(c.rmsDbfs)) {
      EXPECT_EQ(m.rms.has_value(), !std::isnan(c.rmsDbfs)) << c.name;
      EXPECT_EQ(m.dc.has_value(), !std::isnan(c.dc)) << c.name;
    }
    if (m.rms && !std::isnan(c.rmsDbfs)) {
      EXPECT_NEAR(rmsDbfs(*m.rms), c.rmsDbfs, 0.01) << c.name;
    }
    if (m.dc && !std::isnan(c.dc)) {
      EXPECT_NEAR(*m.dc, c.dc, 1e-3) << c.name;
    }
  }
  // A sine's peak and RMS read the same in dBFS; its crest factor is sqrt 2.
  h.clear();
  for (long i = 0; i < 2048; ++i) h.add(float(sample16(0.5, 1000, i)));
  const TraceMeasurements sine = measure(h, 0, 2048);
  EXPECT_NEAR(dbfs(sine.peak), -6.02, 0.01);
  EXPECT_NEAR(sine.peakToPeak(), 1.0, 1e-3);
  ASSERT_TRUE(sine.crestFactor());
  EXPECT_NEAR(*sine.crestFactor(), std::sqrt(2.0), 0.005);
}
