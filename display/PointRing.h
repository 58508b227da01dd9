// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Lock-free single-producer/single-consumer queue of scope points.
//
// The producer (whoever calls ShowNext, usually the audio callback thread)
// never blocks and never allocates: when the queue is full the point is
// dropped and counted. Each stored point carries the drop count as it stood
// when the point was queued, so the consumer learns exactly where points went
// missing (a spectrum frame with a hole in it must not be drawn).
//
// The ring also notes when points arrive, at a cost of one clock reading per
// batch, not per point: a point queued when the consumer had taken every
// point before it opens a batch, and the producer stamps it with the time
// (at the program's pace, one batch per captured block), and with when the
// batch's sound was captured, where the host says (scope/CaptureTime.h).
// The consumer reads the stamps to tell how long points waited before they
// were shown.
//
// A batch that opens on an empty ring is stored from the ring's first slot
// on, not where the last batch ended: the ring is sized for a GUI thread
// that stalls for a second and a half, but between stalls it holds a block
// at a time, and so the system backs only the first few slots instead of
// every slot the points would otherwise cycle through. The slots beyond are
// backed when a stall first reaches them, once, as every slot used to be in
// the ring's first turn.
#pragma once

#include "scope/ScopeApi.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel::display {

struct QueuedPoint {
  ScopePoint point;
  uint64_t droppedBefore;  // points dropped in total before this one was queued
};

// The first point of a batch, numbered from the ring's first point, when it
// was queued and when its sound was captured (steady clock, nanoseconds;
// captured 0: not known).
struct BatchStamp {
  uint64_t first;
  int64_t ns;
  int64_t capturedNs;
};

class PointRing {
 public:
  // capacity is rounded up to a power of two. capturedNs, where given, is
  // read for each batch: when the sound being queued was captured.
  explicit PointRing(size_t capacity, const std::atomic<int64_t>* capturedNs = nullptr);

  size_t capacity() const { return mask_ + 1; }

  // Producer side.
  bool push(const ScopePoint& point) {
    const size_t head = head_.load(std::memory_order_relaxed);
    // The consumer writes the tail once per drain; reading it here is a hit
    // in the producer's cache between drains.
    const size_t tail = tail_.load(std::memory_order_acquire);
    if (head == tail) {
      stampBatch(head);
      // Nothing is queued, so the consumer reads no slot until this point
      // is published, and then reads the new start with it.
      start_.store(head, std::memory_order_relaxed);
    }
    if (head - tail > mask_) {
      dropped_.store(++droppedHere_, std::memory_order_relaxed);
      return false;
    }
    QueuedPoint& slot = slots_[(head - start_.load(std::memory_order_relaxed)) & mask_];
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
    // The start moves only while the ring is empty: it stays as read here
    // until this drain has taken its points.
    const size_t start = start_.load(std::memory_order_relaxed);
    for (size_t i = tail; i != head; ++i) fn(slots_[(i - start) & mask_]);
    tail_.store(head, std::memory_order_release);
    return head - tail;
  }

  // Consumer side: how many points are queued now.
  size_t pending() const { return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed); }
  // Consumer side: the number of the next point to be taken.
  uint64_t taken() const { return tail_.load(std::memory_order_relaxed); }

  // Consumer side: hands every batch stamp whose first point was taken
  // (numbered below taken()) to fn, oldest first. A batch that opened while
  // kBatches stamps were waiting was not stamped.
  template <class Fn>
  void takeBatches(Fn&& fn) {
    const uint64_t end = taken(), head = batchHead_.load(std::memory_order_acquire);
    uint64_t i = batchTail_.load(std::memory_order_relaxed);
    for (; i != head && batches_[i % kBatches].first < end; ++i) fn(batches_[i % kBatches]);
    batchTail_.store(i, std::memory_order_release);
  }

  // Consumer side: forgets every point and stamp queued so far.
  void discardPending() {
    tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release);
    batchTail_.store(batchHead_.load(std::memory_order_acquire), std::memory_order_release);
  }

  // Either side: points dropped since the ring was made.
  uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  static constexpr size_t kBatches = 16;

  void stampBatch(size_t head) {
    const uint64_t i = batchHead_.load(std::memory_order_relaxed);
    if (i - batchTail_.load(std::memory_order_acquire) >= kBatches) return;
    const int64_t captured = capturedNs_ ? capturedNs_->load(std::memory_order_relaxed) : 0;
    batches_[i % kBatches] = {head, std::chrono::steady_clock::now().time_since_epoch().count(), captured};
    batchHead_.store(i + 1, std::memory_order_release);
  }

  std::unique_ptr<QueuedPoint[]> slots_;
  size_t mask_;
  const std::atomic<int64_t>* capturedNs_;
  // What each side writes lives on a cache line of its own, so the two
  // threads do not keep taking one line from each other. The producer keeps
  // its own copy of the drop count.
  alignas(64) std::atomic<size_t> head_{0};
  std::atomic<size_t> start_{0};  // the point stored in the first slot
  uint64_t droppedHere_ = 0;
  std::atomic<uint64_t> batchHead_{0};
  std::array<BatchStamp, kBatches> batches_{};
  alignas(64) std::atomic<uint64_t> dropped_{0};
  alignas(64) std::atomic<size_t> tail_{0};
  std::atomic<uint64_t> batchTail_{0};
};

}  // namespace quorvel::display
