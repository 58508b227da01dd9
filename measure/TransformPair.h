// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A real transform of one length both ways on one pair of buffers, as the
// analyses use it: time() holds n samples, spectrum() n/2 + 1 bins;
// forward() turns time() into spectrum(), inverse() back again,
// unnormalised (a round trip multiplies by n). The transforms are dsp's
// (dsp/RealFft.h); the pair only copies between their buffers, which costs
// little beside a transform of the lengths met here.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

#include "dsp/RealFft.h"

namespace measure {

class TransformPair {
 public:
  explicit TransformPair(std::size_t n);

  std::size_t size() const noexcept { return n_; }
  float* time() noexcept { return time_.data(); }
  std::complex<float>* spectrum() noexcept { return spectrum_.data(); }
  void forward() noexcept;
  void inverse() noexcept;

  // The smallest length of the form 2^a 3^b 5^c that is at least n, which
  // FFTW transforms fast.
  static std::size_t GoodSize(std::size_t n) noexcept;

 private:
  std::size_t n_;
  std::unique_ptr<dsp::RealFft> forward_;
  std::unique_ptr<dsp::InverseRealFft> inverse_;
  std::vector<float> time_;
  std::vector<std::complex<float>> spectrum_;
};

}  // namespace measure
