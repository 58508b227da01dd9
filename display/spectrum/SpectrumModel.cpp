// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/spectrum/SpectrumModel.h"

namespace quorvel::display {

SpectrumModel::SpectrumModel(int bins, int historyFrames)
    : assembler_(bins), peaks_(bins), history_(bins, historyFrames) {}

bool SpectrumModel::consume(const ScopePoint& p, bool afterGap) {
  if (!assembler_.add(p, afterGap)) return false;
  ++frames_;
  peaks_.update(assembler_.levels(), holdFallDb_);
  history_.push(assembler_.frame().amplitudes);
  strongest_ = dsp::strongestBin(assembler_.levels());
  return true;
}

void SpectrumModel::clear() {
  assembler_.reset();
  peaks_.reset();
  history_.clear();
  strongest_ = -1;
  frames_ = 0;
}

}  // namespace quorvel::display
