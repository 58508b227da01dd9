// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A call that may block in a sound server that does not answer (opening a
// device, closing a mixer), made on a thread of its own so that its caller
// waits a bounded time. A call that does not finish in time goes on by
// itself and ends with its thread; it must own whatever it touches (capture
// it by value or through a shared_ptr), since its caller no longer waits.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Runs `call` and waits for it at most `limit`; true when it finished.
bool RunWithin(std::chrono::milliseconds limit, std::function<void()> call);

// A yes-or-no question to a device that may not answer (is the sound
// server there?), asked within a bound. No answer in time counts as no, and
// so does every asking while that one has not come back, so that a device
// that hangs costs its callers the bound once.
class BoundedProbe {
 public:
  bool ask(std::chrono::milliseconds limit, std::function<bool()> probe);

 private:
  std::shared_ptr<std::atomic<bool>> waiting_ = std::make_shared<std::atomic<bool>>(false);
};

// The reason a device call that was given up on reports.
std::string NoAnswerReason();

}  // namespace platform
