// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A bounded lock-free queue of window messages: any number of posting
// threads, one reading thread (the GUI thread). Posting never allocates,
// locks or waits, so a device callback may post. After D. Vyukov's bounded
// queue: each cell carries a sequence number that says whose turn it is.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

#include "platform/Types.h"

namespace platform {

struct Message {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

class MessageQueue {
 public:
  static constexpr std::size_t kCapacity = 1024;

  MessageQueue() noexcept {
    for (std::size_t i = 0; i < kCapacity; ++i) cells_[i].seq.store(i, std::memory_order_relaxed);
  }

  // Any thread. False when the queue is full.
  bool push(const Message& m) noexcept {
    std::size_t pos = enqueue_.load(std::memory_order_relaxed);
    for (;;) {
      Cell& c = cells_[pos & (kCapacity - 1)];
      const std::size_t seq = c.seq.load(std::memory_order_acquire);
      const auto diff = static_cast<std::ptrdiff_t>(seq) - static_cast<std::ptrdiff_t>(pos);
      if (diff == 0) {
        if (enqueue_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
          c.message = m;
          c.seq.store(pos + 1, std::memory_order_release);
          return true;
        }
      } else if (diff < 0) {
        return false;
      } else {
        pos = enqueue_.load(std::memory_order_relaxed);
      }
    }
  }

  // The reading thread only. False when empty.
  bool pop(Message& out) noexcept {
    const std::size_t pos = dequeue_;
    Cell& c = cells_[pos & (kCapacity - 1)];
    if (c.seq.load(std::memory_order_acquire) != pos + 1) return false;
    out = c.message;
    c.seq.store(pos + kCapacity, std::memory_order_release);
    dequeue_ = pos + 1;
    return true;
  }

 private:
  struct Cell {
    std::atomic<std::size_t> seq;
    Message message;
  };
  std::array<Cell, kCapacity> cells_;
  alignas(64) std::atomic<std::size_t> enqueue_{0};
  alignas(64) std::size_t dequeue_ = 0;
};

}  // namespace platform
