// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/FrameEstimator.h"

namespace dsp {

FrameEstimator::FrameEstimator(int points, double binHz) : shape_(points), binHz_(binHz) {}

FrameEstimates FrameEstimator::estimate(const std::vector<double>& amplitudePercent, bool withHarmonics) {
  FrameEstimates e;
  transformMagnitudes(amplitudePercent, shape_.points(), magnitudes_);
  const ToneReading peak = strongestTone(magnitudes_, shape_);
  e.peak = peak.tone;
  e.noPeak = peak.why;
  if (withHarmonics) {
    e.harmonics = e.peak ? harmonics_.analyse(magnitudes_, *e.peak, shape_, binHz_) : HarmonicAnalysis{};
    if (!e.peak) e.harmonics->why = NoThd::NoTone;
  }
  return e;
}

}  // namespace dsp
