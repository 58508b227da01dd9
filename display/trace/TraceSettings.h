// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a user sets on a trace scope, in one plain value, so that it can be
// kept and given back as a whole: the timebase, the vertical zoom and the
// trigger. Also the steps the keys and the mouse wheel move through.
#pragma once

#include "dsp/CrossingDetector.h"

namespace quorvel::display {

enum class TriggerMode {
  Auto,    // sweeps on the trigger; free-runs when none comes for a while
  Normal,  // sweeps only on the trigger; keeps the last sweep meanwhile
  Single,  // one sweep, then holds until re-armed
  Off,     // no trigger: the latest points roll across the screen
};

using dsp::Slope;

struct TraceSettings {
  double spanMs = 46.44;  // time across the screen
  int zoom = 1;           // vertical zoom: the screen shows +-1/zoom of full scale
  TriggerMode mode = TriggerMode::Auto;
  Slope slope = Slope::Rising;
  double level = 0;       // trigger level, full scale
  double position = 0.5;  // share of the screen before the trigger instant, 0 ... 1
  double holdOffMs = 0;   // after a sweep, no trigger is taken for this long

  bool operator==(const TraceSettings&) const = default;
};

// The next timebase in 1-2-5 steps from 1 ms to 5 s per screen, longer
// (direction > 0) or shorter; a span off the steps moves to its neighbour.
double steppedSpanMs(double spanMs, int direction);
// Vertical zoom x1, x2, x4 ... x64.
int steppedZoom(int zoom, int direction);
// Hold-off 0, then 1-2-5 steps from 1 ms to 1 s.
double steppedHoldOffMs(double holdOffMs, int direction);

inline constexpr double kMinSpanMs = 1;
inline constexpr double kMaxSpanMs = 5000;
inline constexpr int kMaxZoom = 64;
inline constexpr double kMaxHoldOffMs = 1000;

}  // namespace quorvel::display
