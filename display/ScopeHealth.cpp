// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ScopeHealth.h"

#include <algorithm>
#include <vector>

namespace quorvel::display {

void ScopeHealth::Events::add(int64_t ns, double value) { events_[count_++ % kHeld] = {ns, value}; }

ScopeHealth::Events::Spread ScopeHealth::Events::spread(int64_t now) const {
  Spread s;
  forRecent(now, [&s](int64_t ns, double) {
    if (s.count++ == 0) s.newest = ns;
    s.oldest = ns;
  });
  return s;
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
  const Events::Spread s = events.spread(now);
  if (s.count < 2 || s.newest == s.oldest) return double(s.count) * 1e9 / double(span);
  const int64_t spacing = (s.newest - s.oldest) / int64_t(s.count - 1);
  const int64_t overdue = std::max<int64_t>(now - s.newest - spacing, 0);
  return double(s.count - 1) * 1e9 / double(s.newest - s.oldest + overdue);
}

std::optional<double> ScopeHealth::median(const Events& events, int64_t now) {
  std::vector<double> recent;
  events.forRecent(now, [&recent](int64_t, double ms) { recent.push_back(ms); });
  if (recent.empty()) return std::nullopt;
  const auto middle = recent.begin() + std::ptrdiff_t(recent.size() / 2);
  std::nth_element(recent.begin(), middle, recent.end());
  if (recent.size() % 2) return *middle;
  return (*middle + *std::max_element(recent.begin(), middle)) / 2;
}

}  // namespace quorvel::display
