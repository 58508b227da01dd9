// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The time weightings of sound level meters (IEC 61672-1): an exponential
// average of the squared (frequency-weighted) signal,
//   y[n] = y[n-1] + (x[n]^2 - y[n-1]) (1 - exp(-1 / (tau rate))),
// with tau 125 ms for Fast and 1 s for Slow, so that after a sound stops its
// level falls by 10 lg(e) / tau: 34.7 dB/s and 4.3 dB/s. Impulse averages
// with tau 35 ms and holds the result in a peak detector that falls with a
// time constant of 1.5 s (2.9 dB/s).
#pragma once

namespace dsp {

enum class TimeWeighting { Fast, Slow, Impulse };

// The letter of a figure's name: LAF, LCS, LZI.
char timeWeightingLetter(TimeWeighting t);
// Seconds.
double timeConstant(TimeWeighting t);

class TimeWeightingDetector {
 public:
  TimeWeightingDetector(TimeWeighting t, double rate);

  // One squared sample; returns the time-weighted mean square.
  double step(double squared) noexcept {
    average_ += (squared - average_) * alpha_;
    if (!impulse_) return average_;
    held_ = average_ > held_ * fall_ ? average_ : held_ * fall_;
    return held_;
  }
  double value() const noexcept { return impulse_ ? held_ : average_; }
  void reset() noexcept { average_ = held_ = 0; }

 private:
  double alpha_;
  double fall_ = 1;
  bool impulse_;
  double average_ = 0, held_ = 0;
};

}  // namespace dsp
