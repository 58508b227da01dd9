// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/spectrum/FrameAssembler.h"

#include <cstddef>
#include <utility>

namespace quorvel::display {

using std::size_t;

FrameAssembler::FrameAssembler(int bins) : bins_(bins) {
  for (dsp::FrameBins* f : {&building_, &published_}) {
    f->levels.reserve(static_cast<size_t>(bins));
    f->amplitudes.reserve(static_cast<size_t>(bins));
  }
}

void FrameAssembler::reset() {
  state_ = State::WaitMarker;
  seenMarker_ = false;
  building_.clear();
  published_.clear();
}

bool FrameAssembler::publish() {
  std::swap(building_, published_);
  building_.clear();
  state_ = State::WaitMarker;
  return true;
}

bool FrameAssembler::add(const ScopePoint& p, bool afterGap) {
  if (afterGap && state_ != State::WaitMarker) {
    ++discarded_;
    building_.clear();
    state_ = State::WaitMarker;
  }
  if (p.Value[0] == ScopeFrameMarker) {
    const bool cutShort = state_ == State::Bins && !building_.levels.empty();
    const bool published = cutShort && publish();
    seenMarker_ = true;
    building_.clear();
    state_ = State::Header;
    headerLeft_ = ScopeFrameHeaderPoints;
    return published;
  }
  switch (state_) {
    case State::WaitMarker:
      return false;
    case State::Header:
      if (--headerLeft_ == 0) state_ = State::Bins;
      return false;
    case State::Bins:
      building_.levels.push_back(p.Value[0]);
      building_.amplitudes.push_back(p.Value[1]);
      return static_cast<int>(building_.levels.size()) == bins_ && publish();
  }
  return false;
}

}  // namespace quorvel::display
