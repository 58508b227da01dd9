// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Starting a thread can fail (the process or the machine has run out of
// threads or memory); a device call reports that as a failure with a text,
// never as an exception, so every thread of the platform layer starts here.
#pragma once

#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {

// Starts `body` on `thread`; false, with nothing started, when no thread
// can be created (`body` is then destroyed on the calling thread).
template <typename Body>
bool StartThread(std::thread& thread, Body&& body) noexcept {
  try {
    thread = std::thread(std::forward<Body>(body));
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// The reason a device call reports when it could not start a thread.
inline std::string NoThreadReason() { return "no thread could be started for the device"; }

}  // namespace platform
