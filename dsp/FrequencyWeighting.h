// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The frequency weightings of sound level meters, A, C and Z (IEC 61672-1),
// as the standard's analytic expressions and as digital filters that follow
// them.
//
// C is the analogue response s^2 w4^2 / ((s + w1)^2 (s + w4)^2), and A adds
// s^2 / ((s + w2)(s + w3)), with f1 = 20.598997 Hz, f2 = 107.65265 Hz,
// f3 = 737.86223 Hz and f4 = 12194.217 Hz, normalised so that 1 kHz reads
// 0 dB (the standard's constants A1000 = -2.000 dB, C1000 = -0.062 dB). Z is
// flat: the samples themselves.
//
// The bilinear transform cannot follow the analogue curve near the Nyquist
// frequency: its response is forced to zero there, 13 dB short of A at
// 20 kHz when sampled at 44.1 kHz. So the filters run at 80 kHz or more:
// below that, at twice the rate (the samples doubled through a half-band
// interpolator, flat to 0.45 of the input rate). At the rate they run at:
//  - the poles and zeros below 1 kHz (f1, f2, f3 and the zeros at 0 Hz)
//    through the bilinear transform, which is exact at DC and warps them
//    by well under a hundredth of a dB at these rates;
//  - the double pole at f4 placed where the analogue one lands,
//    exp(-2 pi f4 / rate), with two zeros whose places come from a least-
//    squares fit of the whole magnitude to the standard's curve from 10 Hz
//    to 20 kHz (or 0.45 of the input rate, below 44.4 kHz): the fit is
//    linear in the zeros' squared magnitude, a cosine polynomial, which
//    factors in closed form into the zeros inside the unit circle.
// The result follows the analytic expression within 0.01 dB from 10 Hz to
// 20 kHz at 44.1, 48 and 96 kHz (tests/dsp/FrequencyWeightingTest.cpp has
// the table).
#pragma once

#include "dsp/Biquad.h"
#include "dsp/HalfBand.h"

#include <cstddef>
#include <vector>

namespace dsp {

enum class Weighting { A, C, Z };

// The letter of a figure's name: LAeq, LCpeak, LZF.
char weightingLetter(Weighting w);

// The standard's analytic expression, in dB (0 at 1 kHz); -infinity at 0 Hz
// for A and C.
double weightingDb(Weighting w, double hz);

class WeightingFilter {
 public:
  // `rate`: the input's sample rate in Hz.
  WeightingFilter(Weighting w, double rate);

  Weighting weighting() const { return weighting_; }
  // Output samples per input sample: 2 when the filter runs at twice the
  // input's rate, 1 otherwise (and always for Z).
  int oversampling() const { return oversampling_; }
  double workingRate() const { return rate_ * oversampling_; }

  // out holds n * oversampling() samples, the weighted signal at the
  // working rate. No allocation.
  void process(const float* in, std::size_t n, double* out) noexcept;
  void reset() noexcept;

  // The designed response at `hz` in dB, the interpolator's included: what
  // process() does to a steady tone.
  double responseDb(double hz) const;

 private:
  Weighting weighting_;
  double rate_;
  int oversampling_ = 1;
  std::vector<BiquadCoefficients> design_;
  std::vector<Biquad> sections_;
  Upsampler2 upsampler_;
};

}  // namespace dsp
