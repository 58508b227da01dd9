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

// The two ways, each in a file of its own.
bool AnalyseSweep(const Plan& plan, const Capture& capture, Result& result, std::string& why);
bool AnalyseNoise(const Plan& plan, const Capture& capture, Result& result, std::string& why);

}  // namespace measure
