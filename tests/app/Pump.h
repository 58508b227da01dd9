// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The GUI thread's messages handled while a test waits: until something
// holds (false after a generous limit), or for a while.
#pragma once

#include <chrono>
#include <functional>

#include "platform/NotifyWindow.h"

namespace app::test {

inline bool PumpUntil(const std::function<bool()>& done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    platform::ProcessMessages();
  }
  return true;
}

inline void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) platform::ProcessMessages();
}

}  // namespace app::test
