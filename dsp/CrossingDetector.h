// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where a stream of points crosses a level in one direction: the trigger of
// a trace scope, and the cycles its frequency is measured from.
//
// Hysteresis: after a crossing, the next one counts only once the signal has
// been back beyond the level by the hysteresis (below level - hysteresis for
// a rising crossing), so noise riding on the level does not make a second
// crossing right after the first.
//
// The instant is interpolated linearly between the two points either side of
// the level. For a sine of f Hz sampled at r Hz the error of that is of the
// order of (2 pi f / r)^2 / 8 of a sample at most, and smaller near the
// sine's zero crossings: for 1 kHz at 44100 Hz, a few thousandths of a
// sample, so sweeps drawn from these instants stand still.
#pragma once

#include <cmath>
#include <cstdint>

namespace dsp {

enum class Slope { Rising, Falling };

class CrossingDetector {
 public:
  CrossingDetector() = default;
  CrossingDetector(Slope slope, double level, double hysteresis)
      : sign_(slope == Slope::Rising ? 1 : -1), level_(sign_ * level), hysteresis_(std::fabs(hysteresis)) {}

  // Point v, numbered i, follows point i - 1. True when v completes a
  // crossing; at is then its instant, between i - 1 and i.
  bool step(float v, int64_t i, double& at) {
    const double x = sign_ * double(v);
    bool crossed = false;
    if (!armed_) {
      armed_ = x < level_ - hysteresis_;
    } else if (x >= level_) {
      // Armed means every point since was below the level: prev_ < level_ <= x.
      at = double(i - 1) + (level_ - prev_) / (x - prev_);
      armed_ = false;
      crossed = true;
    }
    prev_ = x;
    return crossed;
  }

  // The next point does not follow the last one (points were lost or left
  // out): no crossing is taken across the gap.
  void restart() { armed_ = false; }

 private:
  double sign_ = 1;  // falling crossings are rising crossings of -v
  double level_ = 0;
  double hysteresis_ = 0;
  double prev_ = 0;
  bool armed_ = false;
};

}  // namespace dsp
