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

 private:
  std::function<void()> handler_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace platform
