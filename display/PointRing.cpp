// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/PointRing.h"

#include <bit>

namespace quorvel::display {

PointRing::PointRing(size_t capacity, const std::atomic<int64_t>* capturedNs)
    : slots_(new QueuedPoint[std::bit_ceil(capacity < 2 ? size_t{2} : capacity)]),
      mask_(std::bit_ceil(capacity < 2 ? size_t{2} : capacity) - 1),
      capturedNs_(capturedNs) {}

}  // namespace quorvel::display
