// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A half-band low-pass, cut at a quarter of the higher of two rates, and its
// two uses: doubling a rate (the frequency weightings run at twice a rate
// below 80 kHz) and halving one (each octave of the band filters below the
// top two runs at half the rate of the one above).
//
// The kernel is a sinc windowed by Kaiser (beta 10) over 143 taps; every
// other tap but the middle one is zero. Relative to the higher rate it is
// flat within 0.0002 dB up to 0.2268 (20 kHz at 88.2 kHz) and at least
// 95 dB down from 0.2732 (24.1 kHz) on. Either use delays the signal by
// about 36 samples of the lower rate.
#pragma once

#include <array>
#include <cstddef>

namespace dsp {

class HalfBandKernel {
 public:
  static constexpr int kSideTaps = 36;  // non-zero taps on either side of the middle one
  // Flat up to this fraction of the higher rate (0.4535 of the lower one).
  static constexpr double kFlatFraction = 0.22675;
  // The taps at distances 1, 3, 5, ... from the middle, scaled so that the
  // middle tap is 1/2 and the kernel's gain at DC is exactly 1.
  static const std::array<double, kSideTaps>& sideTaps();
  // The kernel's response at `fraction` of the higher rate (real: it is
  // linear phase, and this is its zero-phase amplitude).
  static double response(double fraction);
};

// Twice the samples: every input sample gives two output samples, the
// first the input itself (delayed), the second interpolated between.
class Upsampler2 {
 public:
  Upsampler2();
  // out holds 2 n samples.
  void process(const double* in, std::size_t n, double* out) noexcept;
  void reset() noexcept;

 private:
  // The last 2 kSideTaps inputs, written twice so that a window of them is
  // always contiguous.
  std::array<double, 4 * HalfBandKernel::kSideTaps> history_{};
  std::size_t at_ = 0;
};

// Half the samples: low-passed, then every other one kept. Keeps its phase
// across calls, so blocks of any length, odd ones included, join up.
class Downsampler2 {
 public:
  Downsampler2();
  // Returns how many samples it wrote to out: n / 2, rounded either way
  // depending on the phase the previous block left.
  std::size_t process(const double* in, std::size_t n, double* out) noexcept;
  void reset() noexcept;

 private:
  static constexpr std::size_t kSpan = 4 * HalfBandKernel::kSideTaps - 1;
  std::array<double, 2 * kSpan> history_{};
  std::size_t at_ = 0;
  bool odd_ = false;  // the next input sample is not one the output keeps
};

}  // namespace dsp
