// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Analysis.h"

#include <algorithm>
#include <cmath>

#include "measure/ImpulseResponse.h"

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

bool SetFigures(const Plan& plan, const Capture& capture, long long arrived, long long signalFrom, long long signalTo,
                double delay, double drift, Result& result, std::string& why) {
  const double rate = plan.settings().rate;
  const auto guard = static_cast<long long>(0.05 * rate);
  const double floorPower = 1.0 / (12.0 * 32768.0 * 32768.0);
  const double noise =
      std::max(floorPower, MeanSquare(capture.samples, capture.count,
                                      arrived - static_cast<long long>(plan.preRoll()) + guard, arrived - guard));
  const double signal = MeanSquare(capture.samples, capture.count, signalFrom, signalTo) - noise;
  if (signal <= noise) {
    why = "what came back is not above the input's own noise (signal-to-noise ratio under 0 dB)";
    return false;
  }
  result.snrDb = 10 * std::log10(signal / noise);
  result.delaySamples = delay;
  result.delayMs = delay / rate * 1000;
  result.driftPpm = drift * 1e6;
  return true;
}

}  // namespace measure
