// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/RefreshPhase.h"

#include <algorithm>

namespace quorvel::display {

void RefreshPhase::arrived(int64_t ns) {
  if (count_ > 0) {
    const int64_t latest = arrivals_[(count_ - 1) % kHeld];
    if (ns < latest + kSpreadNs && ns > latest - kSpreadNs) return;
    // Older than the latest: a window that drained late tells of a block
    // another told of already, or of one that is no longer the latest.
    if (ns < latest) return;
  }
  arrivals_[count_++ % kHeld] = ns;
}

int64_t RefreshPhase::next(int64_t now) const {
  const int64_t atScreenRate = now + intervalNs_;
  if (count_ < kHeld) return atScreenRate;
  // The spacings of the latest blocks, the newest first.
  std::array<int64_t, kHeld - 1> spacings{};
  for (size_t k = 0; k + 1 < kHeld; ++k)
    spacings[k] = arrivals_[(count_ - 1 - k) % kHeld] - arrivals_[(count_ - 2 - k) % kHeld];
  const int64_t newest = spacings[0];
  // The spacings seen, as the largest of each group within kSpreadNs.
  std::array<int64_t, kHeld - 1> sorted = spacings;
  std::sort(sorted.begin(), sorted.end());
  if (sorted.front() < intervalNs_) return atScreenRate;
  std::array<int64_t, kSpacings> seen{};
  size_t kinds = 0;
  int64_t groupFrom = sorted.front();
  for (size_t k = 0; k < sorted.size(); ++k) {
    if (k + 1 < sorted.size() && sorted[k + 1] - groupFrom < kSpreadNs) continue;
    if (kinds == kSpacings) return atScreenRate;
    seen[kinds++] = sorted[k];
    if (k + 1 < sorted.size()) groupFrom = sorted[k + 1];
  }
  // The newest spacing must be one seen before it, not a block late or early once.
  const bool newestSeen = std::any_of(spacings.begin() + 1, spacings.end(),
                                      [newest](int64_t s) { return s > newest - kSpreadNs && s < newest + kSpreadNs; });
  if (!newestSeen) return atScreenRate;
  const int64_t latest = arrivals_[(count_ - 1) % kHeld];
  for (size_t k = 0; k < kinds; ++k)
    if (const int64_t due = latest + seen[k] + kMarginNs; due > now)
      return std::min(due, now + kFurthest * intervalNs_);
  return atScreenRate;
}

}  // namespace quorvel::display
