// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Turns fractions of full scale into 16-bit samples (1.0 is 32768; what
// lies beyond full scale is clipped), rounding to the nearest step, or
// with TPDF dither: the difference of two uniform random numbers, a
// triangular spread of +-1 step, added before the rounding, so that the
// rounding error becomes a steady noise unrelated to the signal instead of
// distortion that follows it.
#pragma once

#include <cstdint>

#include "dsp/Random.h"

namespace measure {

class Quantizer {
 public:
  explicit Quantizer(bool dither = false, std::uint64_t seed = 7) noexcept : dither_(dither), random_(seed) {}

  std::int16_t operator()(float x) noexcept;
  bool dither() const noexcept { return dither_; }

 private:
  bool dither_;
  dsp::Random random_;
};

}  // namespace measure
