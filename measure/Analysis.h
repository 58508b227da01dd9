// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// From what came back to the figures: the analysis of a measurement that
// played `plan` while the input captured `samples`.
//
// `origin` is where, in the capture, the first played sample would stand
// had it arrived at once (the two devices' clocks related at the start, as
// the audio system reports them): the delay is counted from there. The
// capture must go on for the whole plan after it.
#pragma once

#include <cstddef>
#include <string>

#include "measure/Plan.h"
#include "measure/Result.h"

namespace measure {

struct Capture {
  const float* samples = nullptr;
  std::size_t count = 0;
  double origin = 0;
};

// False, with the reason in `why`, when the capture cannot be analysed
// (too short, or nothing came back).
bool Analyse(const Plan& plan, const Capture& capture, Result& result, std::string& why);

// What both ways report once they have the delay and the drift: the
// delay, the drift and the signal-to-noise ratio, the noise read in the
// silence before the stimulus arrived (at capture index `arrived`; the
// plan's pre-roll, less 50 ms at each end) and the signal over
// [signalFrom, signalTo). The noise is taken as no lower than the rounding
// of a 16-bit step, so a digital loop reads the capture's resolution.
// False, with the reason, when the signal is not above the noise.
bool SetFigures(const Plan& plan, const Capture& capture, long long arrived, long long signalFrom, long long signalTo,
                double delay, double drift, Result& result, std::string& why);

// The two ways, each in a file of its own.
bool AnalyseSweep(const Plan& plan, const Capture& capture, Result& result, std::string& why);
bool AnalyseNoise(const Plan& plan, const Capture& capture, Result& result, std::string& why);

}  // namespace measure
