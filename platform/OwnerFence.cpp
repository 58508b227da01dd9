// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/OwnerFence.h"

namespace platform {

bool OwnerFence::enter() noexcept {
  if (!(state_.fetch_or(kInside, std::memory_order_acq_rel) & kShut)) return true;
  leave();
  return false;
}

void OwnerFence::leave() noexcept {
  if (state_.fetch_and(~kInside, std::memory_order_acq_rel) & kShut) state_.notify_all();
}

bool OwnerFence::end() noexcept { return (state_.fetch_or(kEnded, std::memory_order_acq_rel) & kHandedOver) != 0; }

void OwnerFence::shut() noexcept {
  for (unsigned s = state_.fetch_or(kShut, std::memory_order_acq_rel) | kShut; s & kInside;
       s = state_.load(std::memory_order_acquire))
    state_.wait(s, std::memory_order_acquire);
}

bool OwnerFence::handOver() noexcept { return (state_.fetch_or(kHandedOver, std::memory_order_acq_rel) & kEnded) != 0; }

}  // namespace platform
