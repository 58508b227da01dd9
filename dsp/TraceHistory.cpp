// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/TraceHistory.h"

namespace dsp {

TraceHistory::TraceHistory(size_t capacity)
    : values_(std::make_unique_for_overwrite<float[]>(std::max<size_t>(capacity, 1))),
      capacity_(std::max<size_t>(capacity, 1)) {}

void TraceHistory::clear() {
  next_ = 0;
  end_ = 0;
}

}  // namespace dsp
