// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Band-limited interpolation between samples: the value a sampled signal
// has at a fractional position, from a Kaiser-windowed sinc of 128 taps.
// It is a fractional delay (a simulated path's delay of any whole-plus-
// fraction samples) and a resampler (a clock ratio; a measurement's drift
// correction). Flat within 0.001 dB and linear in phase up to 0.9 of the
// Nyquist frequency; images fall below -80 dB.
//
// The taps for 2048 fractions are tabulated once (shared, read-only), and
// the two nearest rows are blended, which keeps the error of the fraction
// far below that of the window.
#pragma once

#include <cstddef>
#include <vector>

namespace dsp {

class SincInterpolator {
 public:
  static constexpr int kHalfWidth = 64;  // taps each side of the point

  // The one table, built on first use (thread-safe).
  static const SincInterpolator& Instance();

  // The value at position i + mu (0 <= mu < 1) of the signal whose sample i
  // is x[0]: reads x[1 - kHalfWidth] ... x[kHalfWidth].
  double at(const float* x, double mu) const noexcept;
  double at(const double* x, double mu) const noexcept;

  // The value at position `pos` of signal[0, n), zero outside it.
  double atPosition(const float* signal, std::size_t n, double pos) const noexcept;

 private:
  static constexpr int kPhases = 2048;
  static constexpr int kTaps = 2 * kHalfWidth;
  SincInterpolator();
  template <typename T>
  double blend(const T* x, double mu) const noexcept;
  std::vector<double> table_;  // (kPhases + 1) rows of kTaps weights
};

}  // namespace dsp
