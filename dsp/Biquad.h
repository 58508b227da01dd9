// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A second-order section: y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2]
// - a1 y[n-1] - a2 y[n-2], run in transposed direct form II in double
// precision, and its exact frequency response, so that a test can put a
// filter in a path and know what a measurement must find.
#pragma once

#include <complex>

namespace dsp {

struct BiquadCoefficients {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

  // The response at `hz` for a sample rate of `rate` Hz: H(e^jw), w = 2 pi hz / rate.
  std::complex<double> response(double hz, double rate) const noexcept;

  // Designs from the widely used audio-EQ formulas (bilinear transform of
  // the analogue prototypes, frequency pre-warped).
  static BiquadCoefficients Peaking(double hz, double q, double gainDb, double rate) noexcept;
  static BiquadCoefficients LowPass(double hz, double q, double rate) noexcept;
  static BiquadCoefficients HighPass(double hz, double q, double rate) noexcept;
};

class Biquad {
 public:
  explicit Biquad(const BiquadCoefficients& c = {}) noexcept : c_(c) {}
  double process(double x) noexcept {
    const double y = c_.b0 * x + s1_;
    s1_ = c_.b1 * x - c_.a1 * y + s2_;
    s2_ = c_.b2 * x - c_.a2 * y;
    return y;
  }
  void reset() noexcept { s1_ = s2_ = 0; }

 private:
  BiquadCoefficients c_;
  double s1_ = 0, s2_ = 0;
};

}  // namespace dsp
