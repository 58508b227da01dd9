// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {
int g_pipe[2] = {-1, -1};

void OnSignal(int signal) {
  const auto c = static_cast<char>(signal);
  [[maybe_unused]] const auto n = write(g_pipe[1], &c, 1);
}
}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> handler) : handler_(std::move(handler)) {
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    char c;
    while (read(g_pipe[0], &c, 1) == 1) signal_ = c;
    handler_();
  });
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  notifier_.reset();
  close(g_pipe[0]);
  close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace platform
