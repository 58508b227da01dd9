// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A real transform of one length, planned once: time() holds n samples,
// spectrum() n/2 + 1 bins. forward() turns time() into spectrum(), inverse()
// back again, unnormalised (a round trip multiplies by n). FFTW, single
// precision, planned with FFTW_ESTIMATE so that a length met for the first
// time costs no measuring.
#pragma once

#include <complex>
#include <cstddef>

namespace measure {

class RealFft {
 public:
  explicit RealFft(std::size_t n);
  ~RealFft();
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;

  std::size_t size() const noexcept { return n_; }
  float* time() noexcept { return time_; }
  std::complex<float>* spectrum() noexcept { return spectrum_; }
  void forward() noexcept;
  void inverse() noexcept;

  // The smallest length of the form 2^a 3^b 5^c that is at least n, which
  // FFTW transforms fast.
  static std::size_t GoodSize(std::size_t n) noexcept;

 private:
  std::size_t n_;
  float* time_;
  std::complex<float>* spectrum_;
  void* forwardPlan_;
  void* inversePlan_;
};

}  // namespace measure
