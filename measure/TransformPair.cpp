// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/TransformPair.h"

#include <algorithm>
#include <new>

namespace measure {

TransformPair::TransformPair(std::size_t n)
    : n_(n),
      forward_(dsp::RealFft::create(static_cast<int>(n))),
      inverse_(dsp::InverseRealFft::create(static_cast<int>(n))),
      time_(n),
      spectrum_(n / 2 + 1) {
  // The lengths here are a few million at most; a plan that cannot be had
  // is memory that cannot be had.
  if (!forward_ || !inverse_) throw std::bad_alloc();
}

void TransformPair::forward() noexcept {
  std::copy(time_.begin(), time_.end(), forward_->input());
  forward_->execute();
  std::copy(forward_->output(), forward_->output() + spectrum_.size(), spectrum_.begin());
}

void TransformPair::inverse() noexcept {
  std::copy(spectrum_.begin(), spectrum_.end(), inverse_->input());
  inverse_->execute();
  std::copy(inverse_->output(), inverse_->output() + n_, time_.begin());
}

std::size_t TransformPair::GoodSize(std::size_t n) noexcept {
  std::size_t best = 1;
  while (best < n) best *= 2;
  for (std::size_t a = 1; a < best; a *= 2)
    for (std::size_t b = a; b < best; b *= 3)
      for (std::size_t c = b; c < best; c *= 5)
        if (c >= n) best = c;
  return best;
}

}  // namespace measure
