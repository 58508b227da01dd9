// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sim/SimSleep.h"

#include <algorithm>
#include <ctime>
#include <poll.h>

namespace platform::sim {

bool SleepUntil(Waker& owner, Waker& poke, const std::optional<std::chrono::steady_clock::time_point>& until) noexcept {
  using Clock = std::chrono::steady_clock;
  pollfd fds[2] = {{owner.fd(), POLLIN, 0}, {poke.fd(), POLLIN, 0}};
  timespec ts{};
  if (until) {
    const auto left = std::max(Clock::duration::zero(), *until - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
  }
  if (ppoll(fds, 2, until ? &ts : nullptr, nullptr) <= 0) return false;
  if (fds[1].revents & POLLIN) poke.drain();
  if (fds[0].revents & POLLIN) {
    owner.drain();
    return true;
  }
  return false;
}

}  // namespace platform::sim
