// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One way to call alsa-lib: every call's result goes through an AlsaCheck,
// which keeps what failed, where and ALSA's reason together for the error
// text a user reads. alsa-lib's own diagnostics never reach the terminal;
// the latest one is kept and added to that text.
#pragma once

#include <alsa/asoundlib.h>

#include <source_location>
#include <string>
#include <string_view>

#include "platform/Types.h"

namespace platform::alsa {

// Installs, once per process, an alsa-lib error handler that keeps each
// thread's latest message instead of printing it. Safe to call often.
void SilenceAlsaMessages();

// The result code for a device that failed to open with ALSA error `error`
// (negative). `numbered`: the device is one of the listed ones, so a device
// that is gone means a wrong number rather than no driver.
MMRESULT OpenFailureCode(int error, bool numbered);

class AlsaCheck {
 public:
  // True when the call succeeded (rc >= 0). Otherwise records `what` (the
  // call, with its argument where that helps), snd_strerror(rc), alsa-lib's
  // latest message on this thread and the place of the call; returns false.
  // Allocates only on failure.
  bool operator()(long rc, std::string_view what, std::source_location where = std::source_location::current());

  bool failed() const noexcept { return error_ < 0; }
  // The failed call's negative error code, or 0.
  int error() const noexcept { return error_; }
  // "what: reason (alsa-lib's message) [file:line]", or empty.
  const std::string& detail() const noexcept { return detail_; }
  // Records a failure of our own (not an ALSA call), e.g. a stalled device.
  void fail(int error, std::string detail);
  void clear() noexcept;

 private:
  int error_ = 0;
  std::string detail_;
};

}  // namespace platform::alsa
