// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/SpectrogramColumns.h"

#include <algorithm>

namespace dsp {

SpectrogramColumns::SpectrogramColumns(int bins, uint64_t frames, int columns)
    : bins_(bins),
      columns_(int(std::max<uint64_t>(1, std::min<uint64_t>(frames, uint64_t(std::max(columns, 1)))))),
      expected_(std::max<uint64_t>(frames, 1)),
      sums_(size_t(bins_) * size_t(columns_)),
      counts_(size_t(columns_)) {}

void SpectrogramColumns::add(const float* powers) {
  const size_t c = size_t(std::min<uint64_t>(added_ * uint64_t(columns_) / expected_, uint64_t(columns_ - 1)));
  float* sum = &sums_[c * size_t(bins_)];
  for (int k = 0; k < bins_; ++k) sum[k] += powers[k];
  ++counts_[c];
  ++added_;
}

void SpectrogramColumns::finish() {
  while (columns_ > 1 && counts_[size_t(columns_ - 1)] == 0) --columns_;
  counts_.resize(size_t(columns_));
  for (size_t c = 0; c < counts_.size(); ++c) {
    if (counts_[c] < 2) continue;
    float* sum = &sums_[c * size_t(bins_)];
    const float n = float(counts_[c]);
    for (int k = 0; k < bins_; ++k) sum[k] /= n;
  }
  std::fill(counts_.begin(), counts_.end(), 1);
}

}  // namespace dsp
