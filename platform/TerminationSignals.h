// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Ctrl+C and SIGTERM as an event of the GUI thread: the handler runs from
// the event loop (a self-pipe wakes it), never inside the signal, so it may
// stop devices and close windows as the user would.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

class TerminationSignals {
 public:
  // Create on the GUI thread, once per process; `handler` runs there for
  // each SIGINT or SIGTERM. Without a pipe the signals keep their default
  // action.
  explicit TerminationSignals(std::function<void()> handler);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // The signal that arrived last (SIGINT or SIGTERM), 0 before any; a
  // program that ends for it exits with 128 + its number.
  int signal() const noexcept { return signal_; }

 private:
  std::function<void()> handler_;
  int signal_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace platform
