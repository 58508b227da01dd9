// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/FrameEstimator.h"

namespace dsp {

FrameEstimator::FrameEstimator(int points, double binHz) : shape_(points), binHz_(binHz) {}

FrameEstimates FrameEstimator::estimate(const std::vector<double>& amplitudePercent, bool withHarmonics) {
  FrameEstimates e;
  transformMagnitudes(amplitudePercent, shape_.points(), magnitudes_);
  e.peak = strongestTone(magnitudes_, shape_);
  if (withHarmonics && e.peak) e.harmonics = harmonics_.analyse(magnitudes_, *e.peak, shape_, binHz_);
  return e;
}

}  // namespace dsp
