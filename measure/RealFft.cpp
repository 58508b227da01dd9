// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/RealFft.h"

#include <fftw3.h>

#include <mutex>

namespace measure {

namespace {
// FFTW's planner is not thread-safe; plans are made under one lock.
std::mutex& PlannerLock() {
  static std::mutex lock;
  return lock;
}
}  // namespace

RealFft::RealFft(std::size_t n)
    : n_(n),
      time_(fftwf_alloc_real(n)),
      spectrum_(reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(n / 2 + 1))) {
  std::lock_guard lock(PlannerLock());
  auto* bins = reinterpret_cast<fftwf_complex*>(spectrum_);
  const int size = static_cast<int>(n);
  forwardPlan_ = fftwf_plan_dft_r2c_1d(size, time_, bins, FFTW_ESTIMATE);
  // FFTW_PRESERVE_INPUT is not available for multi-dimensional c2r, but is
  // for 1-D; the spectrum stays as it is, so a caller may transform it again.
  inversePlan_ = fftwf_plan_dft_c2r_1d(size, bins, time_, FFTW_ESTIMATE | FFTW_PRESERVE_INPUT);
}

RealFft::~RealFft() {
  {
    std::lock_guard lock(PlannerLock());
    fftwf_destroy_plan(static_cast<fftwf_plan>(forwardPlan_));
    fftwf_destroy_plan(static_cast<fftwf_plan>(inversePlan_));
  }
  fftwf_free(time_);
  fftwf_free(spectrum_);
}

void RealFft::forward() noexcept { fftwf_execute(static_cast<fftwf_plan>(forwardPlan_)); }
void RealFft::inverse() noexcept { fftwf_execute(static_cast<fftwf_plan>(inversePlan_)); }

std::size_t RealFft::GoodSize(std::size_t n) noexcept {
  std::size_t best = 1;
  while (best < n) best *= 2;
  for (std::size_t a = 1; a < best; a *= 2)
    for (std::size_t b = a; b < best; b *= 3)
      for (std::size_t c = b; c < best; c *= 5)
        if (c >= n) best = c;
  return best;
}

}  // namespace measure
