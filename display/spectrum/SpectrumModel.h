// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a frame scope knows: the latest whole frame (both values), put
// together from the stream of points, the peak hold of the frames' own
// amplitudes (value 1) since its reset, and the last seconds of frames for
// the spectrogram and the power average.
#pragma once

#include "display/spectrum/FrameAssembler.h"
#include "dsp/FrameHistory.h"
#include "dsp/PeakHold.h"
#include "scope/ScopeApi.h"

#include <cstdint>
#include <vector>

namespace quorvel::display {

class SpectrumModel {
 public:
  // historyFrames: how many frames the history keeps.
  explicit SpectrumModel(int bins, int historyFrames = 256);

  // One point of the stream. afterGap: points were lost just before it.
  // True when it completed a frame.
  bool consume(const ScopePoint& p, bool afterGap);
  // Back to no frame, no peaks and no history.
  void clear();
  void resetPeaks();
  // How far held peaks fall with each frame, in dB (0: held for ever).
  void setHoldFall(double dbPerFrame) { holdFallDb_ = dbPerFrame; }

  // The latest frame; empty before the first.
  const dsp::FrameBins& frame() const { return assembler_.frame(); }
  const std::vector<double>& levels() const { return assembler_.levels(); }
  // Peak hold per bin of 20 log10 of value 1's amplitude, -infinity where none.
  const std::vector<double>& peaks() const { return peaks_.levels(); }
  const dsp::FrameHistory& history() const { return history_; }
  // The frame (value 1) that set the hold's highest point, and how far the
  // hold has fallen since, in dB: the tone the hold shows is read from it,
  // since a hold over frames of a steady low tone, each bin at its own
  // highest, is no one frame's shape. Empty while nothing is held.
  const std::vector<double>& holdFrame() const { return holdFrame_; }
  double holdFallen() const { return holdFallen_; }
  // Counts each new hold frame (and each reset): when it has not moved, the
  // hold's tone is read as it was.
  uint64_t holdFrames() const { return holdFrames_; }
  // Bin index of the latest frame's strongest level, -1 for none.
  int strongest() const { return strongest_; }
  // Frames completed since the last clear.
  uint64_t frames() const { return frames_; }
  int bins() const { return assembler_.bins(); }
  // Frames thrown away for points lost inside them, since the last clear.
  uint64_t framesDiscarded() const { return assembler_.framesDiscarded(); }

 private:
  FrameAssembler assembler_;
  dsp::PeakHold peaks_;
  std::vector<double> amplitudeDb_;  // the latest frame's, for the hold
  std::vector<double> holdFrame_;
  double holdFallen_ = 0;
  uint64_t holdFrames_ = 0;
  dsp::FrameHistory history_;
  double holdFallDb_ = 0;
  int strongest_ = -1;
  uint64_t frames_ = 0;
};

}  // namespace quorvel::display
