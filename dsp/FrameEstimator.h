// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What is read from one spectrum frame: its strongest tone between bins
// (ToneFit) and, when asked, that tone's harmonics with THD and THD+N
// (Harmonics), from the bin magnitudes behind the frame's value 1. The
// frame scope shows these, its Copy writes them, and so does any tool that
// reads frames: one place decides what a frame reads.
#pragma once

#include "dsp/Harmonics.h"
#include "dsp/ToneFit.h"
#include "dsp/WindowShape.h"

#include <optional>
#include <vector>

namespace dsp {

struct FrameEstimates {
  std::optional<Tone> peak;                   // the strongest tone; none without one that can be read
  NoTone noPeak = NoTone::None;               // and why
  std::optional<HarmonicAnalysis> harmonics;  // none unless asked for

  // THD in percent when it is read; an upper bound on it when only that is.
  std::optional<double> thdPercent() const { return thdIf(false); }
  std::optional<double> thdBoundPercent() const { return thdIf(true); }

 private:
  std::optional<double> thdIf(bool bound) const {
    if (!harmonics || harmonics->why != NoThd::None || harmonics->thdIsBound != bound) return std::nullopt;
    return harmonics->thd * 100;
  }
};

// Keeps the window's shape and its working storage from one frame to the next.
class FrameEstimator {
 public:
  // Frames of a transform of `points` samples, binHz apart.
  FrameEstimator(int points, double binHz);

  // amplitudePercent: the frame's value 1.
  FrameEstimates estimate(const std::vector<double>& amplitudePercent, bool withHarmonics);

 private:
  WindowShape shape_;
  double binHz_;
  HarmonicAnalyser harmonics_;
  std::vector<double> magnitudes_;
};

}  // namespace dsp
