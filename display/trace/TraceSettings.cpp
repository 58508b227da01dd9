// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/trace/TraceSettings.h"

#include <algorithm>
#include <array>

namespace quorvel::display {

namespace {

// The step of a ladder next to value in the given direction; the ladder's
// end step where there is none beyond. A value between two steps moves to
// the one in that direction.
template <size_t N>
double step(const std::array<double, N>& ladder, double value, int direction) {
  constexpr double kSame = 1e-9;
  if (direction > 0) {
    for (double s : ladder)
      if (s > value * (1 + kSame)) return s;
    return ladder.back();
  }
  for (auto it = ladder.rbegin(); it != ladder.rend(); ++it)
    if (*it < value * (1 - kSame)) return *it;
  return ladder.front();
}

constexpr std::array<double, 12> kSpans{1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000};
static_assert(kSpans.front() == kMinSpanMs && kSpans.back() == kMaxSpanMs);
constexpr std::array<double, 11> kHoldOffs{0, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
static_assert(kHoldOffs.back() == kMaxHoldOffMs);

}  // namespace

double steppedSpanMs(double spanMs, int direction) { return step(kSpans, spanMs, direction); }

int steppedZoom(int zoom, int direction) { return std::clamp(direction > 0 ? zoom * 2 : zoom / 2, 1, kMaxZoom); }

double steppedHoldOffMs(double holdOffMs, int direction) { return step(kHoldOffs, holdOffMs, direction); }

}  // namespace quorvel::display
