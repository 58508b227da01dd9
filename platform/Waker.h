// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Wakes a device thread that sleeps in poll(): an eventfd that any thread may
// signal without locking. The sleeping side polls fd() together with its own
// descriptors and calls drain() when it wakes.
#pragma once

namespace platform {

class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;

  bool valid() const noexcept { return fd_ >= 0; }
  int fd() const noexcept { return fd_; }
  void wake() noexcept;
  void drain() noexcept;
  // Sleeps until woken or until timeoutMs passes (-1: no limit). True when
  // woken; the wake-up is consumed.
  bool wait(int timeoutMs) noexcept;

 private:
  int fd_ = -1;
};

}  // namespace platform
