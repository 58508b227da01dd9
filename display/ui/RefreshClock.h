// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One timer for every scope window, on the GUI thread: at each tick, each
// window takes what was queued for it and repaints if anything came. A
// timer of each window's own woke the GUI thread once per window per tick,
// most of them for nothing, as points come in blocks some 46 ms apart at
// the program's pace. The ticks come at the screen's refresh rate (at most
// 60 Hz), or, while blocks come at a steady pace, just after each is due
// (RefreshPhase), as the windows tell when theirs arrived.
//
// A host mostly wakes the GUI thread itself once it has queued a block (the
// program does, to hand the capture buffer back): points found waiting as
// the GUI thread is about to sleep are taken there and then, in the same
// wake. While the blocks keep coming that way, the ticks are only a
// fallback, four screen intervals after the last block, and the GUI
// thread wakes once a block, not again a millisecond later for the tick.
// Once no points have come for a few seconds, the ticks come four times a
// second: a host that wakes the GUI thread has its first block taken at
// once all the same, one that does not within a quarter of a second.
#pragma once

#include <cstdint>
#include <functional>

namespace quorvel::display {

class RefreshClock {
 public:
  // tick is called at every tick of the shared timer while this lives, and
  // whenever the GUI thread is about to sleep while some member's pending
  // says points wait. Neither may destroy any member of the clock.
  RefreshClock(std::function<bool()> pending, std::function<void()> tick);
  ~RefreshClock();
  RefreshClock(const RefreshClock&) = delete;
  RefreshClock& operator=(const RefreshClock&) = delete;

  // A block of points for a member arrived at ns (steady clock).
  void arrived(int64_t ns);

 private:
  std::function<bool()> pending_;
  std::function<void()> tick_;
};

}  // namespace quorvel::display
