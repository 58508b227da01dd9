// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The captured samples on their way from the block handler (the device's
// thread) to the Levels window (the GUI thread): a lock-free single-
// producer/single-consumer ring of samples as fractions of full scale. The
// producer never waits and never allocates: it takes samples only while the
// window wants them, and when the ring is full it drops what does not fit
// and counts it, so that the window can say its figures miss it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace app {

// Captured sample i of a 16-bit block as the program takes it: n / 32768.
inline float CapturedSample(const void* block, std::size_t i) noexcept {
  std::int16_t s;
  std::memcpy(&s, static_cast<const unsigned char*>(block) + 2 * i, sizeof s);
  return static_cast<float>(s) / 32768.0f;
}

class SampleFeed {
 public:
  // capacity is rounded up to a power of two; the default holds 3 s at
  // 44.1 kHz.
  explicit SampleFeed(std::size_t capacity = std::size_t(1) << 17);

  // Producer: `count` 16-bit samples (as the recorder gives them), or
  // samples already in full scale.
  void Push16(const void* samples, std::size_t count) noexcept;
  void Push(const float* samples, std::size_t count) noexcept;

  // Consumer: whether the producer should take samples at all.
  void SetWanted(bool wanted) noexcept { wanted_.store(wanted, std::memory_order_relaxed); }
  bool Wanted() const noexcept { return wanted_.load(std::memory_order_relaxed); }
  // Up to `max` samples, oldest first; returns how many.
  std::size_t Pop(float* out, std::size_t max) noexcept;
  // Forgets what is queued.
  void Discard() noexcept;
  // Either side: samples dropped since the feed was made.
  std::uint64_t Dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }

 private:
  template <class Convert>
  void PushWith(std::size_t count, Convert convert) noexcept;

  std::unique_ptr<float[]> slots_;
  std::size_t mask_;
  std::atomic<bool> wanted_{false};
  // What each side writes lives on a cache line of its own.
  alignas(64) std::atomic<std::size_t> head_{0};
  std::size_t tailCache_ = 0;
  alignas(64) std::atomic<std::uint64_t> dropped_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace app
