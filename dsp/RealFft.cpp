// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/RealFft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>

namespace dsp {

namespace {

std::mutex& plannerLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

std::unique_ptr<RealFft> RealFft::create(int points) {
  if (points < 1) return nullptr;
  const std::lock_guard guard(plannerLock());
  float* input = fftwf_alloc_real(size_t(points));
  fftwf_complex* output = fftwf_alloc_complex(size_t(points / 2 + 1));
  // Estimated, not measured: a plan is ready at once, without timing runs.
  // Out of place, a real-to-complex plan leaves its input as it is.
  fftwf_plan plan = input && output ? fftwf_plan_dft_r2c_1d(points, input, output, FFTW_ESTIMATE) : nullptr;
  if (!plan) {
    fftwf_free(input);
    fftwf_free(output);
    return nullptr;
  }
  std::fill(input, input + points, 0.0f);
  // FFTW's complex is two floats, as std::complex<float> is laid out.
  return std::unique_ptr<RealFft>(new RealFft(points, input, reinterpret_cast<std::complex<float>*>(output), plan));
}

RealFft::~RealFft() {
  const std::lock_guard guard(plannerLock());
  fftwf_destroy_plan(plan_);
  fftwf_free(input_);
  fftwf_free(output_);
}

void RealFft::execute() { fftwf_execute(plan_); }

std::unique_ptr<InverseRealFft> InverseRealFft::create(int points) {
  if (points < 1) return nullptr;
  const std::lock_guard guard(plannerLock());
  fftwf_complex* input = fftwf_alloc_complex(size_t(points / 2 + 1));
  float* output = fftwf_alloc_real(size_t(points));
  // A complex-to-real plan overwrites its input unless told to keep it,
  // which FFTW can do for one dimension.
  fftwf_plan plan =
      input && output ? fftwf_plan_dft_c2r_1d(points, input, output, FFTW_ESTIMATE | FFTW_PRESERVE_INPUT) : nullptr;
  if (!plan) {
    fftwf_free(input);
    fftwf_free(output);
    return nullptr;
  }
  std::fill(reinterpret_cast<float*>(input), reinterpret_cast<float*>(input) + 2 * (points / 2 + 1), 0.0f);
  return std::unique_ptr<InverseRealFft>(
      new InverseRealFft(points, reinterpret_cast<std::complex<float>*>(input), output, plan));
}

InverseRealFft::~InverseRealFft() {
  const std::lock_guard guard(plannerLock());
  fftwf_destroy_plan(plan_);
  fftwf_free(input_);
  fftwf_free(output_);
}

void InverseRealFft::execute() { fftwf_execute(plan_); }

}  // namespace dsp
