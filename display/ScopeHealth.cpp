// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ScopeHealth.h"

#include <algorithm>
#include <vector>

namespace quorvel::display {

void ScopeHealth::Events::add(int64_t ns, double value) { events_[count_++ % kHeld] = {ns, value}; }

size_t ScopeHealth::Events::count(int64_t now) const {
  size_t n = 0;
  forRecent(now, [&n](double) { ++n; });
  return n;
}

void ScopeHealth::blockShown(int64_t arrivedNs, int64_t capturedNs, int64_t drawnNs, int64_t spanNs) {
  waits_.add(drawnNs, double(drawnNs - arrivedNs) / 1e6);
  // A capture time after the arrival is the host's mistake, not a figure.
  if (capturedNs > 0 && capturedNs <= arrivedNs) {
    toScreen_.add(drawnNs, double(drawnNs - capturedNs) / 1e6);
    oldestToScreen_.add(drawnNs, double(drawnNs - capturedNs + spanNs) / 1e6);
  }
}

void ScopeHealth::clear(int64_t ns) {
  arrivals_.clear();
  pictures_.clear();
  waits_.clear();
  toScreen_.clear();
  oldestToScreen_.clear();
  startNs_ = ns;
}

std::optional<double> ScopeHealth::perSecond(const Events& events, int64_t now) const {
  const int64_t span = std::min(now - startNs_, kSpanNs);
  if (span < kMinSpanNs) return std::nullopt;
  return double(events.count(now)) * 1e9 / double(span);
}

std::optional<double> ScopeHealth::median(const Events& events, int64_t now) {
  std::vector<double> recent;
  events.forRecent(now, [&recent](double ms) { recent.push_back(ms); });
  if (recent.empty()) return std::nullopt;
  const auto middle = recent.begin() + std::ptrdiff_t(recent.size() / 2);
  std::nth_element(recent.begin(), middle, recent.end());
  if (recent.size() % 2) return *middle;
  return (*middle + *std::max_element(recent.begin(), middle)) / 2;
}

}  // namespace quorvel::display
