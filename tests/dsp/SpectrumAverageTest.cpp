// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The averaged spectrum of a span: the same numbers as the program's
// frames, frames taken where they should be, powers averaged and peaks held.
#include "dsp/SpectrumAverage.h"

#include "dsp/FrameEstimator.h"
#include "tests/dsp/ProgramFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace dsp;
using namespace dsp::test;

namespace {

// A tone and its third harmonic that repeat every 1024 samples.
double periodic(long n) {
  const double w = 2 * std::numbers::pi * 37 / 1024;
  return 0.5 * std::sin(w * double(n) + 0.3) + 0.005 * std::sin(3 * w * double(n) + 1.1);
}

}  // namespace

// Every frame of a signal that repeats within the hop is the program's frame
// of the same samples, so their average is too, digit for digit, however the
// samples arrive (as one channel of two, in uneven runs).
TEST(SpectrumAverage, ASignalRepeatingWithinTheHopAveragesToTheProgramsFrame) {
  const long frames = 2048 * 6;
  std::vector<float> interleaved(size_t(2 * frames));
  for (long n = 0; n < frames; ++n) {
    interleaved[size_t(2 * n)] = -0.25f;
    interleaved[size_t(2 * n + 1)] = float(periodic(n));
  }
  auto average = SpectrumAverage::create(2048, 1024);
  ASSERT_TRUE(average);
  for (long at = 0, run = 1; at < frames; at += run, run = run * 3 % 4099 + 1)
    average->push(&interleaved[size_t(2 * at + 1)], size_t(std::min(run, frames - at)), 2);
  EXPECT_EQ(average->frames(), uint64_t(11));

  std::vector<double> block(2048);
  for (long n = 0; n < 2048; ++n) block[size_t(n)] = float(periodic(n));
  const std::vector<double> program = analysed(block);
  const FrameBins mean = average->average();
  ASSERT_EQ(mean.amplitudes.size(), program.size());
  for (size_t k = 0; k < program.size(); ++k) ASSERT_EQ(mean.amplitudes[k], program[k]) << "bin " << k;
  for (size_t k = 0; k < program.size(); ++k)
    ASSERT_EQ(average->peakLevels()[k], mean.levels[k]) << "identical frames hold their own level, bin " << k;
}

TEST(SpectrumAverage, FramesOfSpansOfEveryLength) {
  struct Case {
    long samples;
    uint64_t frames;
  };
  for (const Case& c : {Case{0, 0}, Case{2047, 0}, Case{2048, 1}, Case{3071, 1}, Case{3072, 2}, Case{10000, 8}}) {
    auto average = SpectrumAverage::create(2048, 1024);
    const std::vector<float> samples(size_t(c.samples), 0.125f);
    average->push(samples.data(), samples.size());
    EXPECT_EQ(average->frames(), c.frames) << c.samples << " samples";
    EXPECT_EQ(average->average().levels.size(), c.frames ? 1024u : 0u) << c.samples << " samples";
  }
  EXPECT_FALSE(SpectrumAverage::create(2048, 0));
  EXPECT_FALSE(SpectrumAverage::create(2048, 2049));
}

// A tone in one of two frames: the average has half its power (3.01 dB
// down), the peak hold the whole of it.
TEST(SpectrumAverage, PowersAreAveragedAndPeaksHeld) {
  auto average = SpectrumAverage::create(2048, 2048);
  std::vector<float> samples(4096, 0.0f);
  const double hz = 100.5 * kBinHz;
  for (size_t n = 0; n < 2048; ++n) samples[n] = float(0.5 * std::sin(2 * std::numbers::pi * hz * double(n) / kRate));
  int sunk = 0;
  average->onFrame([&sunk](const float*) { ++sunk; });
  average->push(samples.data(), samples.size());
  EXPECT_EQ(sunk, 2);

  FrameEstimator estimator(2048, kBinHz);
  const FrameEstimates e = estimator.estimate(average->average().amplitudes, false);
  ASSERT_TRUE(e.peak);
  EXPECT_NEAR(e.peak->hz(kBinHz), hz, 0.01);
  EXPECT_NEAR(e.peak->dbfs(), 20 * std::log10(0.5) - 10 * std::log10(2.0), 0.01);
  std::vector<double> first(samples.begin(), samples.begin() + 2048);
  const std::vector<double> program = analysed(first);
  const std::vector<double> held = average->peakLevels();
  for (size_t k = 95; k < 106; ++k) EXPECT_NEAR(held[k], 20 * std::log10(program[k] / 100 + 1), 1e-9) << k;
}
