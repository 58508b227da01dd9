// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The bins' power (a^2, from each frame's value 1, unsmoothed) over the last
// few seconds of frames: what the spectrogram shows and the power average
// is taken from. A ring of fixed size, allocated once and uninitialised:
// the system backs its pages as rows are written, so a history that gets no
// frames (in a scope that shows a trace) holds address space only. Rows
// never written are never read, nor copied.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dsp {

class FrameHistory {
 public:
  FrameHistory(int bins, int capacity);
  FrameHistory(const FrameHistory& other);
  FrameHistory& operator=(const FrameHistory& other);
  FrameHistory(FrameHistory&&) noexcept = default;
  FrameHistory& operator=(FrameHistory&&) noexcept = default;

  // One frame's value 1 (percent of full scale minus 100); missing bins count as silence.
  void push(const std::vector<double>& amplitudePercent);
  void clear();

  int bins() const { return bins_; }
  int capacity() const { return capacity_; }
  // Frames held, at most capacity().
  int size() const { return int(std::min<uint64_t>(serial_, uint64_t(capacity_))); }
  // Frames pushed since the last clear, and clears since the history was
  // made: together they tell a reader which frames are new to it.
  uint64_t serial() const { return serial_; }
  uint64_t clears() const { return clears_; }
  // The powers of the frame `age` frames before the newest (0 = newest).
  const float* row(int age) const;

  // The mean power of the newest `frames` frames (fewer while fewer are
  // held), per bin, in dB; empty before the first frame.
  void averageDb(int frames, std::vector<double>& out) const;

 private:
  float* rowOf(uint64_t serial) const { return &powers_[size_t(serial % uint64_t(capacity_)) * size_t(bins_)]; }

  int bins_, capacity_;
  uint64_t serial_ = 0;
  uint64_t clears_ = 0;
  std::unique_ptr<float[]> powers_;  // capacity rows of bins; frame s in row s % capacity
};

// The level in dB of a power a^2, with silence at a floor far below any
// signal instead of -infinity.
double powerDb(double power);

}  // namespace dsp
