// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// When the scopes' next refresh tick comes, from when blocks of points
// arrived.
//
// At the screen's rate a block waits for the next tick: 8 ms on average at
// 60 Hz, up to a whole interval. Blocks mostly come at a steady pace slower
// than that: every 46 ms at the program's, though a sound server hands them
// over on its own beat, so that they come 40 or 50 ms apart (its 10 ms
// periods). While they do, a tick is set kMarginNs after each time the next
// block may be due (the latest block plus each spacing seen lately, the
// largest of those within kSpreadNs of each other), and none between: a
// block waits a millisecond or two, and the ticks that would have found
// nothing are not made. No tick is set further ahead than four of the
// screen's intervals, so that points from elsewhere never wait longer.
// Should a block come later than every spacing seen, or the blocks come
// faster than the screen, or at no steady pace (a spacing not seen before,
// more than three different ones), the ticks come at the screen's rate.
//
// Times are steady-clock nanoseconds, given by the caller, so the schedule
// is tested on numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvel::display {

class RefreshPhase {
 public:
  // Spacings this close are one; a tick comes this long after the time a
  // block is due at the latest.
  static constexpr int64_t kSpreadNs = 3'000'000;
  static constexpr int64_t kMarginNs = 1'000'000;

  explicit RefreshPhase(int64_t intervalNs) : intervalNs_(intervalNs) {}
  // The screen's refresh interval.
  int64_t interval() const { return intervalNs_; }

  // A block arrived at ns. The same block seen by several windows (their
  // stamps less than kSpreadNs apart) counts once.
  void arrived(int64_t ns);
  // The time of the tick after one made at now.
  int64_t next(int64_t now) const;

 private:
  static constexpr size_t kHeld = 8;       // the latest arrivals
  static constexpr size_t kSpacings = 3;   // different spacings at most
  static constexpr int64_t kFurthest = 4;  // intervals ahead
  int64_t intervalNs_;
  std::array<int64_t, kHeld> arrivals_{};
  size_t count_ = 0;
};

}  // namespace quorvel::display
