// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How a simulated device thread waits for frames to become due: until the
// owner wakes the device, the test pokes (released frames, a failure), or
// the time comes.
#pragma once

#include <chrono>
#include <optional>

#include "platform/Waker.h"

namespace platform::sim {

// True when the owner's waker fired (drained); false on a poke (drained)
// or when `until` has passed. Without `until`, waits for one of the two.
bool SleepUntil(Waker& owner, Waker& poke, const std::optional<std::chrono::steady_clock::time_point>& until) noexcept;

}  // namespace platform::sim
