// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/TraceHistory.h"

namespace dsp {

TraceHistory::TraceHistory(size_t capacity)
    : steps_(std::make_unique_for_overwrite<int16_t[]>(std::max<size_t>(capacity, 1))),
      values_(std::make_unique_for_overwrite<float[]>(std::max<size_t>(capacity, 1))),
      capacity_(std::max<size_t>(capacity, 1)) {}

void TraceHistory::clear() {
  next_ = 0;
  end_ = 0;
}

void TraceHistory::widen() {
  for (int64_t i = begin(); i < end_; ++i) {
    const size_t slot = size_t(i % int64_t(capacity_));
    values_[slot] = fromStep(steps_[slot]);
  }
  steps_.reset();
}

}  // namespace dsp
