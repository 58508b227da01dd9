// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/NotifyWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

NotifyWindow::NotifyWindow(Handler handler) : handler_(std::make_shared<const Handler>(std::move(handler))) {
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) throw std::runtime_error("NotifyWindow: eventfd failed");
  notifier_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { dispatchPending(); });
}

NotifyWindow::~NotifyWindow() {
  notifier_.reset();
  if (wakeFd_ >= 0) close(wakeFd_);
}

bool NotifyWindow::post(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (!queue_.push(Message{msg, wParam, lParam, 0})) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  // A non-blocking write to the eventfd wakes the event loop; it cannot fail
  // short of the counter overflowing, which the reader resets every pass.
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto n = write(wakeFd_, &one, sizeof one);
  return true;
}

LRESULT NotifyWindow::send(UINT msg, WPARAM wParam, LPARAM lParam) {
  Message m{msg, wParam, lParam, 0};
  const auto handler = handler_;  // outlives the window if the handler deletes it
  if (*handler) (*handler)(m);
  return m.Result;
}

void NotifyWindow::dispatchPending() {
  // Reset the wake-up first: a message posted after this read writes the
  // eventfd again, so none is left waiting.
  std::uint64_t count = 0;
  [[maybe_unused]] const auto n = read(wakeFd_, &count, sizeof count);
  const auto handler = handler_;
  const QPointer<NotifyWindow> alive(this);
  Message m;
  while (queue_.pop(m)) {
    if (*handler) (*handler)(m);
    if (!alive) return;
  }
}

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  return window != nullptr && window->post(msg, wParam, lParam);
}

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace platform
