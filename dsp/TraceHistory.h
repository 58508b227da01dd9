// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The latest points of value 0 a trace scope received, in fixed memory.
//
// Points are numbered from the first one added since the scope was made (or
// cleaned), so that a trigger instant or a sweep keeps naming the same points
// while newer ones arrive, until the history has forgotten them.
//
// Values are kept as 16-bit steps of 1/32768 while every point added is
// exactly such a step, as the program's samples (n / 32768) are: a minute at
// 44100 Hz then takes 5.3 MB. The first point that is not one (a host may
// send any value) moves the history, once and for good, to single precision
// (10.6 MB a minute), every point held so far carried over exactly. So a
// point reads back as the float it was added as, in either form.
//
// The memory for both forms is allocated, uninitialised, when the history is
// made, and never grows; the system backs its pages only as points are
// written, so the single-precision form costs address space alone until it
// is needed (the steps' memory is then given back), and a scope that never
// draws a trace (a frame scope) holds almost no memory. Points never written
// are never read.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace dsp {

class TraceHistory {
 public:
  explicit TraceHistory(size_t capacity);

  void add(float v) {
    if (steps_) {
      // Exact in float (a power of two), and in range only for numbers.
      const float scaled = v * 32768.0f;
      if (scaled >= -32768.0f && scaled < 32768.0f) {
        const auto step = int16_t(scaled);
        // Compared bit for bit: a fraction of a step and -0 are not steps.
        if (std::bit_cast<uint32_t>(fromStep(step)) == std::bit_cast<uint32_t>(v)) {
          steps_[next_] = step;
          advance();
          return;
        }
      }
      widen();
    }
    values_[next_] = v;
    advance();
  }
  // Forgets every point; numbering starts again at 0. The form stays.
  void clear();

  size_t capacity() const { return capacity_; }
  // The number the next point will get: one past the newest.
  int64_t end() const { return end_; }
  // The oldest point still held.
  int64_t begin() const { return std::max<int64_t>(0, end_ - int64_t(capacity_)); }
  bool holds(int64_t i) const { return i >= begin() && i < end_; }
  float at(int64_t i) const {
    const size_t slot = size_t(i % int64_t(capacity_));
    return steps_ ? fromStep(steps_[slot]) : values_[slot];
  }

  // The held points of [from, to), oldest first, in runs of contiguous
  // values: fn(const float* values, size_t count, int64_t first). A run's
  // values are valid only during the call.
  template <class Fn>
  void forEachRun(int64_t from, int64_t to, Fn&& fn) const {
    from = std::max(from, begin());
    to = std::min(to, end_);
    while (from < to) {
      const size_t slot = size_t(from % int64_t(capacity_));
      size_t n = std::min(size_t(to - from), capacity_ - slot);
      if (steps_) {
        n = std::min(n, kRun);
        float run[kRun];
        for (size_t k = 0; k < n; ++k) run[k] = fromStep(steps_[slot + k]);
        fn(static_cast<const float*>(run), n, from);
      } else {
        fn(static_cast<const float*>(values_.get() + slot), n, from);
      }
      from += int64_t(n);
    }
  }

 private:
  // Steps are handed out in runs of this many values.
  static constexpr size_t kRun = 1024;

  static float fromStep(int16_t step) { return float(step) * (1.0f / 32768); }
  void advance() {
    next_ = next_ + 1 == capacity_ ? 0 : next_ + 1;
    ++end_;
  }
  // Moves to single precision, converting the points held.
  void widen();

  std::unique_ptr<int16_t[]> steps_;  // null once in single precision
  std::unique_ptr<float[]> values_;
  size_t capacity_;
  size_t next_ = 0;  // slot of point end_
  int64_t end_ = 0;
};

}  // namespace dsp
