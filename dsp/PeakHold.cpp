// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/PeakHold.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dsp {

namespace {
constexpr double kNone = -std::numeric_limits<double>::infinity();
}

PeakHold::PeakHold(int bins) : peaks_(static_cast<size_t>(bins), kNone) {}

void PeakHold::update(const std::vector<double>& levels, double fallDb) {
  const size_t n = std::min(levels.size(), peaks_.size());
  for (size_t k = 0; k < n; ++k) {
    peaks_[k] -= fallDb;
    if (std::isfinite(levels[k]) && levels[k] > peaks_[k]) peaks_[k] = levels[k];
  }
}

void PeakHold::reset() { std::fill(peaks_.begin(), peaks_.end(), kNone); }

int strongestBin(const std::vector<double>& levels) {
  int best = -1;
  bool flat = true;
  for (size_t k = 0; k < levels.size(); ++k) {
    if (!std::isfinite(levels[k])) continue;
    if (best >= 0 && levels[k] != levels[static_cast<size_t>(best)]) flat = false;
    if (best < 0 || levels[k] > levels[static_cast<size_t>(best)]) best = static_cast<int>(k);
  }
  return flat ? -1 : best;
}

}  // namespace dsp
