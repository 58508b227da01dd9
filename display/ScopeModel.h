// The GUI thread's state of one scope: it consumes the queued points and
// keeps what the window draws (rolling trace, or latest frame and peak hold).
#pragma once

#include "display/FrameAssembler.h"
#include "display/PeakHold.h"
#include "display/PointRing.h"
#include "display/ScopeConfig.h"
#include "display/ScopeView.h"
#include "display/TraceHistory.h"

#include <cstdint>

namespace quorvel::display {

class ScopeModel {
public:
  explicit ScopeModel(const ScopeConfig& config);

  void consume(const QueuedPoint& q);
  // Back to an empty trace scope: no frame, no peaks, nothing received.
  void clear();
  void resetPeaks() { peaks_.reset(); }

  ScopeMode mode() const { return assembler_.seenMarker() ? ScopeMode::Spectrum : ScopeMode::Trace; }
  uint64_t received() const { return received_; }
  const ScopeConfig& config() const { return config_; }
  // Fills view with what is to be drawn now (dropped is the window's business).
  void snapshot(ScopeView& view) const;

private:
  ScopeConfig config_;
  TraceHistory trace_;
  FrameAssembler assembler_;
  PeakHold peaks_;
  int strongest_ = -1;
  uint64_t frames_ = 0;
  uint64_t received_ = 0;
  uint64_t lastDropped_ = 0;
};

}  // namespace quorvel::display
