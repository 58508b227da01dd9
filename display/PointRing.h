// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Lock-free single-producer/single-consumer queue of scope points.
//
// The producer (whoever calls ShowNext, usually the audio callback thread)
// never blocks and never allocates: when the queue is full the point is
// dropped and counted. Each stored point carries the drop count as it stood
// when the point was queued, so the consumer learns exactly where points went
// missing (a spectrum frame with a hole in it must not be drawn).
#pragma once

#include "scope/ScopeApi.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel::display {

struct QueuedPoint {
  ScopePoint point;
  uint64_t droppedBefore;  // points dropped in total before this one was queued
};

class PointRing {
 public:
  // capacity is rounded up to a power of two.
  explicit PointRing(size_t capacity);

  size_t capacity() const { return mask_ + 1; }

  // Producer side.
  bool push(const ScopePoint& point) {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head - tailCache_ > mask_) {
      tailCache_ = tail_.load(std::memory_order_acquire);
      if (head - tailCache_ > mask_) {
        dropped_.store(++droppedHere_, std::memory_order_relaxed);
        return false;
      }
    }
    QueuedPoint& slot = slots_[head & mask_];
    slot.point = point;
    slot.droppedBefore = droppedHere_;
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

  // Consumer side: hands every point queued so far to fn, oldest first, and
  // returns how many there were.
  template <class Fn>
  size_t drain(Fn&& fn) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    const size_t head = head_.load(std::memory_order_acquire);
    for (size_t i = tail; i != head; ++i) fn(slots_[i & mask_]);
    tail_.store(head, std::memory_order_release);
    return head - tail;
  }

  // Consumer side: how many points are queued now.
  size_t pending() const { return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed); }

  // Consumer side: forgets every point queued so far.
  void discardPending() { tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release); }

  // Either side: points dropped since the ring was made.
  uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  std::unique_ptr<QueuedPoint[]> slots_;
  size_t mask_;
  // What each side writes lives on a cache line of its own, so the two
  // threads do not keep taking one line from each other. The producer keeps
  // its own copies of the tail and of the drop count, and touches the shared
  // ones only when the ring looks full.
  alignas(64) std::atomic<size_t> head_{0};
  size_t tailCache_ = 0;
  uint64_t droppedHere_ = 0;
  alignas(64) std::atomic<uint64_t> dropped_{0};
  alignas(64) std::atomic<size_t> tail_{0};
};

}  // namespace quorvel::display
