// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SampleFeed.h"

#include <algorithm>
#include <bit>

namespace app {

SampleFeed::SampleFeed(std::size_t capacity)
    : slots_(new float[std::bit_ceil(std::max<std::size_t>(capacity, 2))]),
      mask_(std::bit_ceil(std::max<std::size_t>(capacity, 2)) - 1) {}

template <class Convert>
void SampleFeed::PushWith(std::size_t count, Convert convert) noexcept {
  if (!wanted_.load(std::memory_order_relaxed) || count == 0) return;
  const std::size_t head = head_.load(std::memory_order_relaxed);
  if (head + count - tailCache_ > mask_ + 1) tailCache_ = tail_.load(std::memory_order_acquire);
  const std::size_t room = mask_ + 1 - (head - tailCache_);
  const std::size_t taken = std::min(count, room);
  for (std::size_t i = 0; i < taken; ++i) slots_[(head + i) & mask_] = convert(i);
  head_.store(head + taken, std::memory_order_release);
  if (taken < count) dropped_.fetch_add(count - taken, std::memory_order_relaxed);
}

void SampleFeed::Push16(const void* samples, std::size_t count) noexcept {
  PushWith(count, [samples](std::size_t i) { return CapturedSample(samples, i); });
}

void SampleFeed::Push(const float* samples, std::size_t count) noexcept {
  PushWith(count, [samples](std::size_t i) { return samples[i]; });
}

std::size_t SampleFeed::Pop(float* out, std::size_t max) noexcept {
  const std::size_t tail = tail_.load(std::memory_order_relaxed);
  const std::size_t head = head_.load(std::memory_order_acquire);
  const std::size_t n = std::min(max, head - tail);
  for (std::size_t i = 0; i < n; ++i) out[i] = slots_[(tail + i) & mask_];
  tail_.store(tail + n, std::memory_order_release);
  return n;
}

void SampleFeed::Discard() noexcept { tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release); }

}  // namespace app
