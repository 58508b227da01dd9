// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The latest points of value 0 a trace scope received, in fixed memory.
//
// Points are numbered from the first one added since the scope was made (or
// cleaned), so that a trigger instant or a sweep keeps naming the same points
// while newer ones arrive, until the history has forgotten them. Values are
// kept in single precision: the program's samples (n / 32768) are exact in
// it, and a minute at 44100 Hz takes 10.6 MB instead of 21.
//
// The memory is allocated, uninitialised, when the history is made and never
// grows; the system backs its pages as points are written, so a scope that
// never draws a trace (a frame scope) holds address space but almost no
// memory. Points never written are never read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace dsp {

class TraceHistory {
 public:
  explicit TraceHistory(size_t capacity);

  void add(float v) {
    values_[next_] = v;
    next_ = next_ + 1 == capacity_ ? 0 : next_ + 1;
    ++end_;
  }
  // Forgets every point; numbering starts again at 0.
  void clear();

  size_t capacity() const { return capacity_; }
  // The number the next point will get: one past the newest.
  int64_t end() const { return end_; }
  // The oldest point still held.
  int64_t begin() const { return std::max<int64_t>(0, end_ - int64_t(capacity_)); }
  bool holds(int64_t i) const { return i >= begin() && i < end_; }
  float at(int64_t i) const { return values_[size_t(i % int64_t(capacity_))]; }

  // The held points of [from, to), oldest first, in at most two runs of
  // contiguous memory: fn(const float* values, size_t count, int64_t first).
  template <class Fn>
  void forEachRun(int64_t from, int64_t to, Fn&& fn) const {
    from = std::max(from, begin());
    to = std::min(to, end_);
    while (from < to) {
      const size_t slot = size_t(from % int64_t(capacity_));
      const size_t n = std::min(size_t(to - from), capacity_ - slot);
      fn(values_.get() + slot, n, from);
      from += int64_t(n);
    }
  }

 private:
  std::unique_ptr<float[]> values_;
  size_t capacity_;
  size_t next_ = 0;  // slot of point end_
  int64_t end_ = 0;
};

}  // namespace dsp
