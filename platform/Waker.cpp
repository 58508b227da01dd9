// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Waker.h"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

Waker::Waker() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Waker::~Waker() {
  if (fd_ >= 0) close(fd_);
}

void Waker::wake() noexcept {
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto n = write(fd_, &one, sizeof one);
}

void Waker::drain() noexcept {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto n = read(fd_, &count, sizeof count);
}

bool Waker::wait(int timeoutMs) noexcept {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN)) {
    drain();
    return true;
  }
  return false;
}

}  // namespace platform
