// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated loopback's path against the formula for each of its
// parts: a tone comes back with the gain, the whole-plus-fraction delay,
// the biquad's response, the polynomial, the clock ratio and the noise
// that the test set.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <vector>

#include "dsp/Biquad.h"
#include "platform/sim/LoopbackPath.h"

namespace platform::sim {
namespace {

constexpr double kRate = 44100, kHz = 1000, kPeak = 0.5;
constexpr std::size_t kOrigin = 300, kPlayed = 20000;

double Tone(double n) { return n < 0 ? 0.0 : kPeak * std::sin(2 * std::numbers::pi * kHz * n / kRate); }

TEST(LoopbackPath, EachPartDoesWhatItWasSet) {
  const dsp::BiquadCoefficients peak = dsp::BiquadCoefficients::Peaking(kHz, 2, 6, kRate);
  const std::complex<double> h = peak.response(kHz, kRate);
  struct Case {
    const char* name;
    LoopbackPath path;
    // The captured sample j samples after the origin, once settled.
    std::function<double(double j)> expected;
    double tolerance;
  };
  const Case cases[] = {
      {"gain and a fractional delay",
       {.gain = 0.5, .delay = 10.37},
       [](double j) { return 0.5 * Tone(j - 10.37); },
       2e-5},
      {"whole delay", {.delay = 1234}, [](double j) { return Tone(j - 1234); }, 2e-5},
      {"biquad",
       {.biquad = peak},
       [&](double j) { return std::abs(h) * kPeak * std::sin(2 * std::numbers::pi * kHz * j / kRate + std::arg(h)); },
       2e-5},
      {"polynomial",
       {.polynomial = {0.001, 1, 0.01, 0.001}},
       [](double j) {
         const double x = Tone(j);
         return 0.001 + x + 0.01 * x * x + 0.001 * x * x * x;
       },
       2e-5},
      {"input clock 100 ppm fast", {.clockRatio = 1.0001}, [](double j) { return Tone(j / 1.0001); }, 2e-5},
  };
  std::vector<float> played(kPlayed);
  for (std::size_t n = 0; n < kPlayed; ++n) played[n] = static_cast<float>(Tone(static_cast<double>(n)));
  for (const Case& c : cases) {
    const std::vector<double> got = RunLoopback(c.path, played, kOrigin, kOrigin + kPlayed);
    // Before the origin the path rests (at the polynomial's constant).
    EXPECT_NEAR(got[kOrigin / 2], c.path.polynomial.empty() ? 0.0 : c.path.polynomial[0], 1e-7) << c.name;
    double worst = 0;
    for (std::size_t j = kOrigin + 2000; j < kOrigin + kPlayed - 200; ++j)
      worst = std::max(worst, std::abs(got[j] - c.expected(static_cast<double>(j - kOrigin))));
    EXPECT_LT(worst, c.tolerance) << c.name;
  }
}

// The noise is white and Gaussian at its AES17 level, and repeats with its
// seed.
TEST(LoopbackPath, NoiseHasItsLevelAndItsSeed) {
  const LoopbackPath path{.noiseDbfs = -40};
  const std::vector<float> quiet(100000, 0.0f);
  const std::vector<double> a = RunLoopback(path, quiet, 10, quiet.size());
  double power = 0;
  for (double v : a) power += v * v;
  EXPECT_NEAR(20 * std::log10(std::sqrt(power / a.size()) * std::numbers::sqrt2), -40, 0.05);
  EXPECT_EQ(RunLoopback(path, quiet, 10, quiet.size()), a);
}

}  // namespace
}  // namespace platform::sim
