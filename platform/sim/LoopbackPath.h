// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The path between the simulated output and input devices when they are
// looped back: what the output plays comes back at the input through a
// device whose every property the test sets, so that a measurement has a
// known answer. Per channel, in this order:
//
//   played x -> gain -> biquad -> polynomial -> delay and clock -> + noise
//
// The delay may be any whole-plus-fraction of a sample and the clock ratio
// any value near 1: both are applied by one band-limited interpolation
// (dsp::SincInterpolator), captured sample j (counted from the origin, the
// captured frame at which the first played frame arrives with no delay)
// being the processed signal at played position j / clockRatio - delay.
// The noise is white and Gaussian, its level in AES17 dBFS (RMS).
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "dsp/Biquad.h"
#include "dsp/Random.h"

namespace platform::sim {

struct LoopbackPath {
  double gain = 1;
  double delay = 0;  // samples at the output's rate, >= 0
  std::optional<dsp::BiquadCoefficients> biquad{};
  // y = c[0] + c[1] x + c[2] x^2 + ...; empty: y = x.
  std::vector<double> polynomial{};
  double noiseDbfs = -std::numeric_limits<double>::infinity();
  // The input's clock against the output's: 1.0001 is an input running
  // 100 ppm fast, which captures 1.0001 samples for each one played.
  double clockRatio = 1;
  std::uint64_t seed = 1;
};

// One channel of the path, fed played samples in order and asked for
// captured ones in order. Allocates only when built.
class LoopbackChannel {
 public:
  LoopbackChannel(const LoopbackPath& path, std::uint64_t seed);

  // Played samples that must have been fed before captured sample j (from
  // the origin) can be made.
  std::uint64_t playedNeeded(std::uint64_t j) const noexcept;
  // The next played sample (0 once the output has stopped).
  void feed(float played) noexcept;
  std::uint64_t fed() const noexcept { return fed_; }
  // Captured sample j from the origin; the samples it needs have been fed.
  double capture(std::uint64_t j) noexcept;
  // A captured sample before the origin (nothing played yet).
  double idle() noexcept;
  // Back to rest, for a new playing (the noise goes on).
  void reset() noexcept;

 private:
  static constexpr std::size_t kHistory = 1024;  // a power of two, well above the interpolator's width
  double shape(double x) const noexcept;

  LoopbackPath path_;
  dsp::Biquad biquad_;
  dsp::Random random_;
  double noiseRms_;
  double rest_;  // what the path gives for silence (the polynomial's constant)
  std::vector<float> history_;
  std::uint64_t fed_ = 0;
};

// The whole path, off-line, for one channel: what an input started
// `origin` samples before the output began would capture in `frames`
// samples while `played` is played once.
std::vector<double> RunLoopback(const LoopbackPath& path, const std::vector<float>& played, std::size_t origin,
                                std::size_t frames);

}  // namespace platform::sim
