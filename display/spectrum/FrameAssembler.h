// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Puts spectrum frames together from the stream of points.
//
// A frame is a marker point (value 0 == ScopeFrameMarker), a header of
// ScopeFrameHeaderPoints points that is skipped, then one point per bin.
// A frame is published as soon as its last expected bin arrives; bins beyond
// that are ignored until the next marker. A frame that the sender cut short
// (a marker arrives early) is published with the bins it has. A frame with
// points lost inside it is discarded: its bins could not be placed.
#pragma once

#include "dsp/FrameBins.h"
#include "scope/ScopeApi.h"

#include <cstdint>
#include <vector>

namespace quorvel::display {

class FrameAssembler {
 public:
  explicit FrameAssembler(int bins);

  // afterGap: points were lost just before this one. Returns true when this
  // point published a frame (see frame()).
  bool add(const ScopePoint& p, bool afterGap);
  void reset();

  bool seenMarker() const { return seenMarker_; }
  // The latest published frame; may be shorter than bins().
  const dsp::FrameBins& frame() const { return published_; }
  const std::vector<double>& levels() const { return published_.levels; }
  int bins() const { return bins_; }
  uint64_t framesDiscarded() const { return discarded_; }

 private:
  enum class State { WaitMarker, Header, Bins };
  bool publish();

  int bins_;
  State state_ = State::WaitMarker;
  int headerLeft_ = 0;
  bool seenMarker_ = false;
  uint64_t discarded_ = 0;
  dsp::FrameBins building_;
  dsp::FrameBins published_;
};

}  // namespace quorvel::display
