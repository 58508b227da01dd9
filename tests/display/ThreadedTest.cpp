// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// ShowNext on one thread while the GUI thread drains and paints.
#include "display/PointRing.h"
#include "display/ScopeRegistry.h"
#include "display/ui/ScopeWindow.h"

#include <QCoreApplication>

#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace quorvel::display;

namespace {

constexpr int kMillion = 1000000;

ScopePoint pointOf(int i) { return {{double(i), 0, 0}}; }

}  // namespace

TEST(PointRing, HoldsItsCapacityAndCountsWhatDoesNotFit) {
  PointRing ring(1000);
  ASSERT_EQ(ring.capacity(), 1024u);
  // A batch that opens on an empty ring reuses the memory of the last one.
  const QueuedPoint* firstSlot = nullptr;
  ring.push(pointOf(-3));
  ring.push(pointOf(-4));
  ring.drain([&](const QueuedPoint& q) { firstSlot = firstSlot ? firstSlot : &q; });
  for (int i = 0; i < 1024; ++i) ASSERT_TRUE(ring.push(pointOf(i)));
  EXPECT_FALSE(ring.push(pointOf(-1)));
  EXPECT_FALSE(ring.push(pointOf(-2)));
  EXPECT_EQ(ring.dropped(), 2u);
  int next = 0;
  EXPECT_EQ(ring.drain([&](const QueuedPoint& q) {
    EXPECT_TRUE(next > 0 || &q == firstSlot) << "the first point is in the first slot";
    EXPECT_EQ(q.point.Value[0], next++);
    EXPECT_EQ(q.droppedBefore, 0u);
  }),
            1024u);
  ASSERT_TRUE(ring.push(pointOf(7)));
  ring.drain([](const QueuedPoint& q) { EXPECT_EQ(q.droppedBefore, 2u) << "the gap is marked"; });
  ring.push(pointOf(8));
  ring.discardPending();
  EXPECT_EQ(ring.drain([](const QueuedPoint&) {}), 0u);
}

TEST(PointRing, AMillionPointsAcrossThreadsArriveInOrderOrAreCounted) {
  PointRing ring(4096);
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int i = 0; i < kMillion; ++i) ring.push(pointOf(i));
    done.store(true, std::memory_order_release);
  });
  uint64_t received = 0;
  int last = -1;
  uint64_t lastDropped = 0;
  bool ordered = true, gapsAccounted = true;
  auto take = [&](const QueuedPoint& q) {
    const int v = int(q.point.Value[0]);
    ordered &= v > last;
    // Every value skipped is one dropped point.
    gapsAccounted &= uint64_t(v - last - 1) == q.droppedBefore - lastDropped;
    last = v;
    lastDropped = q.droppedBefore;
    ++received;
  };
  const quorvel_test::Deadline deadline;
  while (!done.load(std::memory_order_acquire) && !deadline.passed()) ring.drain(take);
  producer.join();
  ring.drain(take);
  EXPECT_TRUE(ordered);
  EXPECT_TRUE(gapsAccounted);
  EXPECT_EQ(received + ring.dropped(), uint64_t(kMillion));
}

TEST(ScopeWindowThreads, NothingIsLostBelowCapacityAndDropsAreCountedAbove) {
  ScopeRegistry registry;
  const int32_t h = registry.create(0, 0, "threads");
  ScopeChannel* channel = registry.find(h);
  ScopeWindow* window = registry.window(h);
  ASSERT_TRUE(channel && window);
  window->show();
  const size_t capacity = channel->ring.capacity();

  // The producer stays within the ring's capacity ahead of what the GUI
  // thread has taken, so not one point may be dropped. Both sides give up
  // at the deadline, so that a window that stops taking points fails the
  // test instead of hanging it.
  std::atomic<uint64_t> taken{0};
  std::atomic<bool> done{false};
  const quorvel_test::Deadline deadline;
  std::thread audio([&] {
    const int burst = int(capacity / 4);
    for (int sent = 0; sent < kMillion && !deadline.passed();) {
      while (sent - taken.load(std::memory_order_acquire) > capacity - burst && !deadline.passed())
        std::this_thread::yield();
      for (int i = 0; i < burst && sent < kMillion; ++i, ++sent) channel->ring.push(pointOf(sent));
    }
    done.store(true, std::memory_order_release);
  });
  int paints = 0;
  while ((!done.load(std::memory_order_acquire) || window->received() < uint64_t(kMillion)) && !deadline.passed()) {
    if (window->drain()) {
      window->repaint();
      ++paints;
    }
    QCoreApplication::processEvents();
    taken.store(window->received(), std::memory_order_release);
  }
  audio.join();
  EXPECT_EQ(window->received(), uint64_t(kMillion));
  EXPECT_EQ(window->dropped(), 0u);
  EXPECT_GT(paints, 0);

  // Now the GUI thread looks away: all beyond the capacity is dropped and counted.
  std::thread([&] {
    for (size_t i = 0; i < capacity + 1234; ++i) channel->ring.push(pointOf(int(i)));
  }).join();
  window->updateNow();
  EXPECT_EQ(window->received(), uint64_t(kMillion) + capacity);
  EXPECT_EQ(window->dropped(), 1234u);
  registry.destroy(h);
}
