// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Loudness of the standard's own test signals (EBU Tech 3341 and 3342):
// 1 kHz sines in both channels at known levels, in steps, with the readings
// the standard gives for them.
#include "dsp/Loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

using namespace dsp;

namespace {

constexpr long kRate = 48000;

struct Step {
  double dbfs, seconds;
};

// Stereo 1 kHz sines, the same in both channels, step after step (a full-scale sine is 0 dBFS).
std::unique_ptr<Loudness> measured(const std::vector<Step>& steps, int channels = 2) {
  auto meter = Loudness::create(channels, kRate);
  std::vector<float> block;
  long n = 0;
  for (const Step& s : steps) {
    const double amplitude = std::pow(10, s.dbfs / 20);
    const long frames = std::lround(s.seconds * kRate);
    for (long done = 0; done < frames;) {
      const long count = std::min(frames - done, 4800L);
      block.resize(size_t(count * channels));
      for (long f = 0; f < count; ++f, ++n)
        for (int c = 0; c < channels; ++c)
          block[size_t(f * channels + c)] =
              float(amplitude * std::sin(2 * std::numbers::pi * 1000 * double(n) / kRate));
      meter->push(block.data(), size_t(count));
      done += count;
    }
  }
  return meter;
}

}  // namespace

TEST(Loudness, TheStandardsTestSignalsReadTheirLevels) {
  struct Case {
    std::string name;
    std::vector<Step> steps;
    std::optional<double> lufs, range;
  };
  const std::vector<Case> cases{
      {"3341 case 1", {{-23, 20}}, -23, std::nullopt},
      {"3341 case 2", {{-33, 20}}, -33, std::nullopt},
      {"3341 case 3", {{-36, 10}, {-23, 60}, {-36, 10}}, -23, std::nullopt},
      {"3341 case 4", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, -23, std::nullopt},
      {"3341 case 5", {{-26, 20}, {-20, 20.1}, {-26, 20}}, -23, std::nullopt},
      {"3342 case 1", {{-20, 20}, {-30, 20}}, std::nullopt, 10},
      {"3342 case 2", {{-20, 20}, {-15, 20}}, std::nullopt, 5},
  };
  for (const Case& c : cases) {
    auto meter = measured(c.steps);
    ASSERT_TRUE(meter);
    if (c.lufs) {
      EXPECT_NEAR(meter->integratedLufs().value_or(0), *c.lufs, 0.1) << c.name;
    }
    if (c.range) {
      EXPECT_NEAR(meter->rangeLu().value_or(-1), *c.range, 1) << c.name;  // the standard allows 1 LU
    }
  }
}

// A sine at a quarter of the rate sampled 45 degrees off its crests: every
// sample is 3 dB under its true peak. Silence has neither loudness nor peak.
TEST(Loudness, TruePeakBetweenSamplesAndNothingInSilence) {
  auto meter = Loudness::create(1, kRate);
  std::vector<float> x(static_cast<size_t>(kRate));
  for (size_t n = 0; n < x.size(); ++n)
    x[n] = float(0.5 * std::sin(2 * std::numbers::pi * 0.25 * double(n) + std::numbers::pi / 4));
  meter->push(x.data(), x.size());
  ASSERT_TRUE(meter->truePeakDbtp(0));
  EXPECT_NEAR(*meter->truePeakDbtp(0), 20 * std::log10(0.5), 0.2);

  std::vector<float> zeros(size_t(2 * 5 * kRate), 0.0f);
  auto silent = Loudness::create(2, kRate);
  silent->push(zeros.data(), zeros.size() / 2);
  EXPECT_FALSE(silent->integratedLufs());
  EXPECT_FALSE(silent->truePeakDbtp(1));
  EXPECT_FALSE(Loudness::create(0, kRate));
}
