// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Notification windows: posting from many threads without locks, handling
// on the window's thread, and what happens when the queue is full.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/NotifyWindow.h"
#include "tests/support/Wait.h"

namespace platform {
namespace {

constexpr UINT kMsg = 0x0400;

// Checks that each producer's messages arrive complete and in its order.
struct PerProducerOrder {
  explicit PerProducerOrder(std::size_t producers) : next(producers, 0) {}
  void operator()(const Message& m) {
    ASSERT_EQ(m.Msg, kMsg);
    ASSERT_LT(m.WParam, next.size());
    ASSERT_EQ(m.LParam, next[m.WParam]) << "producer " << m.WParam;
    ++next[m.WParam];
    ++total;
  }
  std::vector<LPARAM> next;
  std::size_t total = 0;
};

TEST(NotifyWindow, MessagesFromSeveralThreadsArriveBelowCapacity) {
  constexpr std::size_t kProducers = 4, kEach = MessageQueue::kCapacity / kProducers;
  PerProducerOrder order(kProducers);
  NotifyWindow window([&](Message& m) { order(m); });
  std::vector<std::thread> producers;
  for (std::size_t p = 0; p < kProducers; ++p)
    producers.emplace_back([&, p] {
      for (std::size_t i = 0; i < kEach; ++i) ASSERT_TRUE(PostMessage(&window, kMsg, p, static_cast<LPARAM>(i)));
    });
  for (std::thread& t : producers) t.join();
  ProcessMessages();  // the event loop's pass runs the handler
  EXPECT_EQ(order.total, kProducers * kEach);
  EXPECT_EQ(window.droppedMessages(), 0u);
}

TEST(NotifyWindow, PostersRacingTheHandlerLoseNothingTheyWereToldWasPosted) {
  // The queue fills up and empties while four threads post 20000 messages
  // each; a post that reports a full queue is counted as dropped and tried
  // again, so every message arrives once, in its producer's order. A
  // producer whose posts are refused past the deadline gives up, so that a
  // handler that stopped fails the test instead of hanging it.
  constexpr std::size_t kProducers = 4, kEach = 20000;
  PerProducerOrder order(kProducers);
  NotifyWindow window([&](Message& m) { order(m); });
  std::atomic<std::size_t> refused{0};
  const quorvel_test::Deadline deadline;
  std::vector<std::thread> producers;
  for (std::size_t p = 0; p < kProducers; ++p)
    producers.emplace_back([&, p] {
      for (std::size_t i = 0; i < kEach; ++i)
        while (!window.post(kMsg, p, static_cast<LPARAM>(i))) {
          refused.fetch_add(1, std::memory_order_relaxed);
          if (deadline.passed()) return;
          std::this_thread::yield();
        }
    });
  EXPECT_TRUE(quorvel_test::PumpUntil([&] { return order.total == kProducers * kEach; }));
  for (std::thread& t : producers) t.join();
  EXPECT_EQ(order.total, kProducers * kEach);
  EXPECT_EQ(window.droppedMessages(), refused.load());
}

TEST(NotifyWindow, FullQueueDropsAndCountsTheRest) {
  std::vector<LPARAM> got;
  NotifyWindow window([&](Message& m) { got.push_back(m.LParam); });
  constexpr std::size_t kExtra = 76;
  for (std::size_t i = 0; i < MessageQueue::kCapacity + kExtra; ++i) window.post(kMsg, 0, static_cast<LPARAM>(i));
  EXPECT_EQ(window.droppedMessages(), kExtra);
  EXPECT_FALSE(PostMessage(&window, kMsg, 0, -1));
  window.dispatchPending();
  ASSERT_EQ(got.size(), MessageQueue::kCapacity);
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], static_cast<LPARAM>(i));
  // Room again once handled.
  EXPECT_TRUE(PostMessage(&window, kMsg, 0, 7));
  window.dispatchPending();
  EXPECT_EQ(got.back(), 7);
}

TEST(NotifyWindow, SendRunsTheHandlerAtOnceAndReturnsItsResult) {
  int calls = 0;
  NotifyWindow window([&](Message& m) {
    ++calls;
    m.Result = static_cast<LRESULT>(m.WParam + 1);
  });
  EXPECT_EQ(window.send(kMsg, 41, 0), 42);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(PostMessage(nullptr, kMsg, 0, 0));
}

TEST(NotifyWindow, HandlerMayDeleteItsOwnWindow) {
  // As the component does on the end of the session: the window's handler
  // frees the object that owns the window; messages behind it are not run.
  int handled = 0;
  NotifyWindow* window = nullptr;
  window = new NotifyWindow([&](Message&) {
    ++handled;
    delete window;
  });
  window->post(kMsg, 0, 0);
  window->post(kMsg, 0, 1);
  ProcessMessages();
  EXPECT_EQ(handled, 1);
}

}  // namespace
}  // namespace platform
