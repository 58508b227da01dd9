// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Waiting in tests: until a condition holds, within a generous limit that
// only a hang runs into, never spinning the CPU the device threads need.
#pragma once

#include <chrono>
#include <functional>

namespace quorvel_test {

using namespace std::chrono_literals;

// A sanitizer build on a busy two-core machine: slow, but not this slow.
inline constexpr std::chrono::milliseconds kWaitLimit = 20s;

// Until `done` holds or `limit` has passed, looking every millisecond; the
// thread's messages wait. Whether `done` holds.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kWaitLimit);

// The same while the thread's messages are handled (Qt's event loop runs
// between the looks), as an owner of notification windows waits.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kWaitLimit);

// Handles messages for `span`: only for checking that nothing arrives in it.
void PumpFor(std::chrono::milliseconds span);

// A point in time a loop must not run past.
class Deadline {
 public:
  explicit Deadline(std::chrono::milliseconds limit = kWaitLimit) : end_(std::chrono::steady_clock::now() + limit) {}
  bool passed() const { return std::chrono::steady_clock::now() >= end_; }

 private:
  std::chrono::steady_clock::time_point end_;
};

}  // namespace quorvel_test
