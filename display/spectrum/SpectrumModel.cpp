// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/spectrum/SpectrumModel.h"

#include "display/VectorState.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

SpectrumModel::SpectrumModel(int bins, int historyFrames)
    : assembler_(bins), peaks_(bins), history_(bins, historyFrames) {}

bool SpectrumModel::consume(const ScopePoint& p, bool afterGap) {
  if (!assembler_.add(p, afterGap)) return false;
  ++frames_;
  // The hold follows each frame's own amplitude (value 1), not the level
  // the analyser has smoothed over frames: a burst is held at its level.
  const std::vector<double>& amplitudes = assembler_.frame().amplitudes;
  clearUpperVectorState();  // a picture's fills may come just before: a log10 a bin
  amplitudeDb_.resize(amplitudes.size());
  for (size_t k = 0; k < amplitudes.size(); ++k) amplitudeDb_[k] = 20 * std::log10(amplitudes[k] / 100 + 1);
  // The frame that raises the hold's highest point becomes the one its tone
  // is read from; one that only reaches it leaves the last.
  const std::vector<double>& held = peaks_.levels();
  const double before = held.empty() ? 0 : *std::max_element(held.begin(), held.end()) - holdFallDb_;
  peaks_.update(amplitudeDb_, holdFallDb_);
  holdFallen_ += holdFallDb_;
  const auto highest = std::max_element(held.begin(), held.end());
  if (highest != held.end() && std::isfinite(*highest) && !(*highest <= before)) {
    holdFrame_ = amplitudes;
    holdFallen_ = 0;
    ++holdFrames_;
  }
  history_.push(assembler_.frame().amplitudes);
  strongest_ = dsp::strongestBin(assembler_.levels());
  return true;
}

void SpectrumModel::resetPeaks() {
  peaks_.reset();
  holdFrame_.clear();
  holdFallen_ = 0;
  ++holdFrames_;
}

void SpectrumModel::clear() {
  assembler_.reset();
  resetPeaks();
  history_.clear();
  strongest_ = -1;
  frames_ = 0;
}

}  // namespace quorvel::display
