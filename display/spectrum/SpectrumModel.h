// What a frame scope knows: the latest whole frame, put together from the
// stream of points, the peak hold over the frames since its reset, and the
// strongest bin of the latest frame.
#pragma once

#include "display/spectrum/FrameAssembler.h"
#include "display/spectrum/PeakHold.h"
#include "scope/ScopeApi.h"

#include <cstdint>
#include <vector>

namespace quorvel::display {

class SpectrumModel {
public:
  explicit SpectrumModel(int bins);

  // One point of the stream. afterGap: points were lost just before it.
  // True when it completed a frame.
  bool consume(const ScopePoint& p, bool afterGap);
  // Back to no frame and no peaks.
  void clear();
  void resetPeaks() { peaks_.reset(); }

  // Levels (dB) of the latest frame; empty before the first.
  const std::vector<double>& levels() const { return assembler_.levels(); }
  // Peak hold per bin, -infinity where none.
  const std::vector<double>& peaks() const { return peaks_.levels(); }
  // Bin index of the latest frame's strongest level, -1 for none.
  int strongest() const { return strongest_; }
  // Frames completed since the last clear.
  uint64_t frames() const { return frames_; }
  int bins() const { return assembler_.bins(); }

private:
  FrameAssembler assembler_;
  PeakHold peaks_;
  int strongest_ = -1;
  uint64_t frames_ = 0;
};

}  // namespace quorvel::display
