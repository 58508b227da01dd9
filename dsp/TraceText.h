// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Points of a trace as text, what the trace scope's Copy puts on the
// clipboard: the dBFS convention and the measurements as "# name: value"
// lines (a value withheld or not finite is "none"; a reading has the
// decimals it is good to), then one "time_ms,value" row per point, each
// value exactly as it came (NumberText's sampleText).
#pragma once

#include "dsp/TraceHistory.h"

#include <cstdint>
#include <string>

namespace dsp {

// Points [from, to) of the history, timed in milliseconds from point
// `zero` (fractional) at `rate` points per second; clipped says whether
// the input reached full scale. Empty when the history holds none of them.
std::string traceText(const TraceHistory& h, int64_t from, int64_t to, double zero, int rate, bool clipped);

}  // namespace dsp
