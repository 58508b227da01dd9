// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/spectrum/Markers.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

void Markers::place(int bin, const std::vector<double>& levels, int reach) {
  const int last = int(levels.size()) - 1;
  if (last < 0) return;
  int best = std::clamp(bin, 0, last);
  for (int k = std::max(0, bin - reach); k <= std::min(last, bin + reach); ++k)
    if (std::isfinite(levels[size_t(k)]) &&
        (!std::isfinite(levels[size_t(best)]) || levels[size_t(k)] > levels[size_t(best)]))
      best = k;
  if (std::find(bins_.begin(), bins_.end(), best) != bins_.end()) return;
  if (int(bins_.size()) == kMax) bins_.erase(bins_.begin());
  bins_.push_back(best);
}

}  // namespace quorvel::display
