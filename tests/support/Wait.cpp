// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/Wait.h"

#include <QEventLoop>
#include <QTimer>
#include <thread>

namespace quorvel_test {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const Deadline deadline(limit);
  while (!done()) {
    if (deadline.passed()) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const Deadline deadline(limit);
  // The loop sleeps until a message arrives, and wakes every millisecond to
  // look at what no message announces (a count moved by another thread).
  QEventLoop loop;
  QTimer look;
  look.start(1ms);
  while (!done()) {
    if (deadline.passed()) return false;
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void PumpFor(std::chrono::milliseconds span) {
  PumpUntil([] { return false; }, span);
}

}  // namespace quorvel_test
