// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/LevelDistribution.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dsp {

namespace {
constexpr double kLowest = -200, kHighest = 30, kWidth = 0.01;
const int kBins = int(std::lround((kHighest - kLowest) / kWidth));
}  // namespace

LevelDistribution::LevelDistribution() : bins_(size_t(kBins), 0) {}

void LevelDistribution::add(double db) noexcept {
  ++count_;
  if (!(db >= kLowest)) {
    ++below_;
    return;
  }
  const int bin = std::min(kBins - 1, int((db - kLowest) / kWidth));
  ++bins_[size_t(bin)];
}

void LevelDistribution::reset() noexcept {
  std::fill(bins_.begin(), bins_.end(), 0u);
  below_ = count_ = 0;
}

double LevelDistribution::exceeded(double percent) const {
  if (count_ == 0) return std::numeric_limits<double>::quiet_NaN();
  const double target = percent / 100 * double(count_);
  double above = 0;
  for (int k = kBins - 1; k >= 0; --k) {
    const double here = bins_[size_t(k)];
    if (here > 0 && above + here >= target) {
      const double top = kLowest + (k + 1) * kWidth;
      return top - (target - above) / here * kWidth;
    }
    above += here;
  }
  return -std::numeric_limits<double>::infinity();
}

}  // namespace dsp
