// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Hidden notification windows: an object on the GUI thread bound to a
// handler, to which any thread may post messages. Posting is lock-free and
// allocation-free (a bounded queue plus an eventfd wake-up), so device
// threads and audio callbacks post without waiting for the GUI thread; the
// handler runs later, on the window's thread, when Qt's event loop (or one
// pass of ProcessMessages) gets to it.
//
// Lifetime: a window must outlive every device or thread that may post to
// it; release it only after those are closed.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

#include "platform/MessageQueue.h"
#include "platform/Types.h"

class QSocketNotifier;

namespace platform {

class NotifyWindow : public QObject {
 public:
  using Handler = std::function<void(Message&)>;

  // Create on the thread whose event loop is to run the handler.
  explicit NotifyWindow(Handler handler);
  ~NotifyWindow() override;
  NotifyWindow(const NotifyWindow&) = delete;
  NotifyWindow& operator=(const NotifyWindow&) = delete;

  // Any thread. False when the window's queue is full (the message is lost
  // and counted in droppedMessages()).
  bool post(UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

  // The window's thread: runs the handler at once and returns its result.
  LRESULT send(UINT msg, WPARAM wParam, LPARAM lParam);

  std::size_t droppedMessages() const noexcept { return dropped_.load(std::memory_order_relaxed); }

  // Runs the handler for every message posted so far. The event loop does
  // this by itself; tests and waits may call it directly. A handler may
  // delete its own window; dispatching then stops.
  void dispatchPending();

 private:
  std::shared_ptr<const Handler> handler_;
  MessageQueue queue_;
  int wakeFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::atomic<std::size_t> dropped_{0};
};

// PostMessageA: false for a null window or a full queue.
bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

// Lets the application process its pending messages once (one pass of the
// event loop, without waiting for new ones).
void ProcessMessages();

}  // namespace platform
