// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A small, fast, seeded random source (SplitMix64): the same seed gives the
// same numbers on every machine, so noise, dither and a simulated path's
// added noise are repeatable. Not for anything that must be unpredictable.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace dsp {

class Random {
 public:
  explicit Random(std::uint64_t seed = 0x5eed) noexcept : state_(seed) {}

  std::uint64_t next() noexcept {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1), with 53 random bits.
  double uniform() noexcept { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  // Standard normal (Box-Muller; the second value of each pair is kept).
  double gaussian() noexcept {
    if (hasSpare_) {
      hasSpare_ = false;
      return spare_;
    }
    const double u = 1.0 - uniform();  // (0, 1]: the logarithm stays finite
    const double r = std::sqrt(-2.0 * std::log(u));
    const double a = 2.0 * std::numbers::pi * uniform();
    spare_ = r * std::sin(a);
    hasSpare_ = true;
    return r * std::cos(a);
  }

 private:
  std::uint64_t state_;
  double spare_ = 0;
  bool hasSpare_ = false;
};

}  // namespace dsp
