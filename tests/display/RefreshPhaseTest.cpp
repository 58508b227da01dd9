// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// When the scopes' refresh ticks come, on given arrival times.
#include "display/ui/RefreshPhase.h"

#include <gtest/gtest.h>

#include <vector>

using quorvel::display::RefreshPhase;

namespace {

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kInterval = 16'666'667;  // 60 Hz
constexpr int64_t kMargin = RefreshPhase::kMarginNs;

}  // namespace

TEST(RefreshPhase, TicksJustAfterEachSpacingSeenElseAtTheScreensRate) {
  struct Case {
    const char* what;
    std::vector<int64_t> spacings;  // between the blocks, in order; the first block at 1000 ms
    int64_t after;                  // the tick asked for comes after the latest block plus this
    int64_t want;                   // ... at the latest block plus this; 0: at the screen's rate
  };
  const int64_t steady = 2048 * 1'000'000'000LL / 44100;
  for (const Case& c : {
           Case{"too few blocks to tell", {steady, steady, steady}, 1 * kMs, 0},
           Case{"a steady pace", std::vector<int64_t>(9, steady), 1 * kMs, steady + kMargin},
           // A sound server's 10 ms beat: the block is looked for after 40 ms,
           // then after 50, then at the screen's rate.
           Case{"40 or 50 ms apart",
                {40 * kMs, 50 * kMs, 50 * kMs, 40 * kMs, 50 * kMs, 50 * kMs, 40 * kMs, 50 * kMs},
                1 * kMs,
                40 * kMs + kMargin},
           Case{"... not there after 40 ms",
                {40 * kMs, 50 * kMs, 50 * kMs, 40 * kMs, 50 * kMs, 50 * kMs, 40 * kMs, 50 * kMs},
                40 * kMs + kMargin,
                50 * kMs + kMargin},
           Case{"... nor after 50 ms",
                {40 * kMs, 50 * kMs, 50 * kMs, 40 * kMs, 50 * kMs, 50 * kMs, 40 * kMs, 50 * kMs},
                50 * kMs + kMargin,
                0},
           // A spacing spread within the group counts at its largest.
           Case{"jitter",
                {40 * kMs, 51 * kMs, 49 * kMs, 41 * kMs, 50 * kMs, 50 * kMs, 39 * kMs, 50 * kMs},
                1 * kMs,
                41 * kMs + kMargin},
           Case{"faster than the screen", std::vector<int64_t>(9, 10 * kMs), 1 * kMs, 0},
           Case{"the newest spacing never seen before",
                {steady, steady, steady, steady, steady, steady, steady, 150 * kMs},
                1 * kMs,
                0},
           Case{"no steady pace",
                {40 * kMs, 60 * kMs, 80 * kMs, 100 * kMs, 40 * kMs, 60 * kMs, 80 * kMs, 100 * kMs},
                1 * kMs,
                0},
           // Slow blocks: no tick further ahead than four intervals.
           Case{"a block a second", std::vector<int64_t>(9, 1000 * kMs), 1 * kMs, 1 * kMs + 4 * kInterval},
       }) {
    SCOPED_TRACE(c.what);
    RefreshPhase phase(kInterval);
    int64_t t = 1000 * kMs;
    phase.arrived(t);
    for (int64_t s : c.spacings) {
      t += s;
      phase.arrived(t);
      // The other window's stamp of the same block, a little later, counts once.
      phase.arrived(t + kMs / 10);
    }
    const int64_t now = t + c.after;
    EXPECT_EQ(phase.next(now), c.want != 0 ? t + c.want : now + kInterval);
  }
}
