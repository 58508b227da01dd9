// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A bounded lock-free ring for one producer thread and one consumer thread.
// Neither side allocates, locks or waits: push fails when full, pop when
// empty. Capacity must be a power of two.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

namespace platform {

template <typename T, std::size_t Capacity>
class SpscRing {
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0);

 public:
  // Producer side.
  bool push(const T& value) noexcept {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == Capacity) return false;
    slots_[head & (Capacity - 1)] = value;
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

  // Consumer side.
  const T* front() const noexcept {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (head_.load(std::memory_order_acquire) == tail) return nullptr;
    return &slots_[tail & (Capacity - 1)];
  }
  void pop() noexcept { tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
  std::optional<T> take() noexcept {
    const T* f = front();
    if (f == nullptr) return std::nullopt;
    T value = *f;
    pop();
    return value;
  }

  // Either side; exact only on the consumer side or when the other is idle.
  std::size_t size() const noexcept {
    return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire);
  }
  static constexpr std::size_t capacity() noexcept { return Capacity; }

 private:
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
  std::array<T, Capacity> slots_{};
};

}  // namespace platform
