#include "display/ScopeModel.h"

namespace quorvel::display {

ScopeModel::ScopeModel(const ScopeConfig& config)
    : config_(config), trace_(static_cast<size_t>(config.points)), assembler_(config.bins()),
      peaks_(config.bins()) {}

void ScopeModel::consume(const QueuedPoint& q) {
  ++received_;
  const bool afterGap = q.droppedBefore != lastDropped_;
  lastDropped_ = q.droppedBefore;
  if (assembler_.add(q.point, afterGap)) {
    ++frames_;
    peaks_.update(assembler_.levels());
    strongest_ = strongestBin(assembler_.levels());
  }
  else if (!assembler_.seenMarker())
    trace_.add(q.point.Value[0]);
}

void ScopeModel::clear() {
  trace_.clear();
  assembler_.reset();
  peaks_.reset();
  strongest_ = -1;
  frames_ = 0;
  received_ = 0;
}

void ScopeModel::snapshot(ScopeView& view) const {
  view.mode = mode();
  if (view.mode == ScopeMode::Trace) {
    trace_.copyTo(view.trace);
    view.levels.clear();
    view.peaks.clear();
  } else {
    view.trace.clear();
    view.levels = assembler_.levels();
    view.peaks = peaks_.levels();
  }
  view.strongest = strongest_;
  view.frames = frames_;
}

}  // namespace quorvel::display
