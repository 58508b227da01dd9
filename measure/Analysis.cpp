// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Analysis.h"

#include <algorithm>
#include <cmath>

namespace measure {

bool Analyse(const Plan& plan, const Capture& capture, Result& result, std::string& why) {
  result = Result{};
  result.stimulus = plan.describe();
  result.levelDbfs = plan.settings().levelDbfs;
  result.rate = plan.settings().rate;
  const std::uint64_t needed = static_cast<std::uint64_t>(capture.origin) + plan.frames();
  if (capture.origin < 0 || capture.count < needed) {
    why = "the capture ended before the stimulus had come back (" + std::to_string(capture.count) + " of " +
          std::to_string(needed) + " samples)";
    return false;
  }
  const auto from = static_cast<std::size_t>(capture.origin) + plan.preRoll();
  const std::size_t to = std::min(capture.count, from + plan.frames());
  for (std::size_t i = from; i < to; ++i)
    if (std::abs(capture.samples[i]) >= 32767.0f / 32768.0f) ++result.clippedSamples;
  return plan.sweep() ? AnalyseSweep(plan, capture, result, why) : AnalyseNoise(plan, capture, result, why);
}

}  // namespace measure
