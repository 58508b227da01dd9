// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A spectrogram of a whole span at a width chosen in advance: the span's
// frames, in order, fall into `columns` columns of equal length, and each
// column keeps the mean power per bin of its frames. Memory is fixed when
// it is made; add() allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dsp {

class SpectrogramColumns {
 public:
  // `frames`: how many the span will give (more are added to the last
  // column). Fewer frames than columns give a column per frame.
  SpectrogramColumns(int bins, uint64_t frames, int columns);

  void add(const float* powers);

  int bins() const { return bins_; }
  int columns() const { return columns_; }
  // Mean power of each bin in column c; zeros for a column no frame reached.
  const float* column(int c) const { return &sums_[std::size_t(c) * std::size_t(bins_)]; }
  // Divides each column's sums by its frames, and drops the columns no
  // frame reached when the span ended early (a capture stopped): call
  // once, after the last add().
  void finish();

 private:
  int bins_, columns_;
  uint64_t expected_, added_ = 0;
  std::vector<float> sums_;
  std::vector<uint32_t> counts_;
};

}  // namespace dsp
