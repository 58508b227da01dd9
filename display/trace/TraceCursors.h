// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Two time cursors on a trace scope's screen and what is read at them: the
// trace's own value at each, the time between them, and the RMS and
// peak-to-peak value of the points between them.
#pragma once

#include "display/trace/TraceModel.h"
#include "dsp/TraceHistory.h"

#include <optional>

namespace quorvel::display {

// The trace of sweep s at instant x (in points, fractional): linear between
// the two points either side, as the trace is drawn; none where the history
// does not hold both or they lie outside the sweep's stretch.
std::optional<double> valueAt(const dsp::TraceHistory& h, const Sweep& s, double x);

struct CursorReadings {
  std::optional<double> a, b;  // the trace's value at each cursor
  std::optional<double> dtMs;  // from A to B, when both are set
  // Of the points between A and B, when there are any.
  std::optional<double> rms, peakToPeak;
};

// Cursors are placed in milliseconds from the screen's left edge.
CursorReadings readCursors(const dsp::TraceHistory& h, const Sweep& s, int rate, std::optional<double> aMs,
                           std::optional<double> bMs);

}  // namespace quorvel::display
