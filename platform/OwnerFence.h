// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What keeps a device's own thread away from its owner's things once the
// owner has given up waiting for it: a thread stuck in a sound server that
// does not answer may come back long after its owner freed its buffers,
// headers and windows.
//
// The device thread is inside the fence while it touches anything of the
// owner's (headers, buffers, callbacks, posts) and outside while it sits in
// a call that may block (a source, a sink, a sleep). The owner shuts the
// fence: it waits only for a thread that is inside, which never blocks
// there, and from then on the thread stays out.
//
// Who deletes the device: the owner, unless it hands the device over while
// the thread still runs; then the thread deletes it when it ends.
#pragma once

#include <atomic>

namespace platform {

class OwnerFence {
 public:
  // Device thread. enter() is false once the fence is shut: the thread then
  // touches nothing of the owner's and ends.
  bool enter() noexcept;
  void leave() noexcept;
  // The thread's last word: true when the device was handed over, so that
  // the thread now deletes it.
  bool end() noexcept;

  // Owner. When shut() returns, the thread is outside and stays there.
  void shut() noexcept;
  bool isShut() const noexcept { return (state_.load(std::memory_order_acquire) & kShut) != 0; }
  // Leaves the device to its thread; true when the thread has ended
  // already, so that the owner deletes it after all.
  bool handOver() noexcept;

 private:
  static constexpr unsigned kInside = 1, kShut = 2, kEnded = 4, kHandedOver = 8;
  std::atomic<unsigned> state_{0};
};

}  // namespace platform
