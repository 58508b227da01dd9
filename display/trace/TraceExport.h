// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What leaves a trace scope: the measurements and the points on screen as
// text for the clipboard, and the whole history as a sound file.
#pragma once

#include "display/trace/TraceModel.h"
#include "dsp/TraceHistory.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace quorvel::display {

// The shown sweep as text (dsp/TraceText), time from the screen's left
// edge. Empty when no point is on screen.
QString traceText(const TraceModel& model);

// Writes every point the history holds, oldest first, as a mono WAV file of
// 16-bit samples at the given rate (a point v becomes the sample
// round(v * 32768), limited to the 16-bit range, so the program's samples
// come back exactly). breaks: the points, in the history's numbering, that
// do not follow the one before (where the input broke off); each becomes a
// cue point named "break", so that an editor shows where the sound is not
// continuous (the first 100 of them, as many as the format's cue list
// holds). On failure error says why, in words.
bool writeWav(const QString& path, const dsp::TraceHistory& h, const std::vector<int64_t>& breaks, int rate,
              QString& error);

}  // namespace quorvel::display
