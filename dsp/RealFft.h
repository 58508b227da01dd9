// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The discrete Fourier transform of real samples, of one length, planned
// once: X_k = sum over n of x_n e^(-i 2 pi k n / N), k = 0 ... N / 2,
// unnormalised, in single precision. Any length (lengths with only small
// prime factors are fastest). The transform owns its buffers: fill
// input(), call execute(), read output(); both stay for the next block.
//
// FFTW does the work behind this small interface, so that it can be
// swapped or compared in a benchmark without touching its callers. Its
// planner keeps global state: transforms are made and destroyed under one
// lock, on any thread; execute() takes no lock and allocates nothing, and
// distinct transforms may run at once.
#pragma once

#include <complex>
#include <memory>

struct fftwf_plan_s;

namespace dsp {

class RealFft {
 public:
  // Null when points < 1, or when memory or a plan cannot be had.
  static std::unique_ptr<RealFft> create(int points);
  ~RealFft();
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;

  int points() const { return points_; }
  int bins() const { return points_ / 2 + 1; }
  // points() samples; execute() leaves them as they are.
  float* input() { return input_; }
  // bins() values, filled by execute().
  const std::complex<float>* output() const { return output_; }

  void execute();

 private:
  RealFft(int points, float* input, std::complex<float>* output, fftwf_plan_s* plan)
      : points_(points), input_(input), output_(output), plan_(plan) {}

  int points_;
  float* input_;
  std::complex<float>* output_;
  fftwf_plan_s* plan_;
};

// The inverse: x_n = sum over k of X_k e^(i 2 pi k n / N), n = 0 ... N - 1,
// from the N / 2 + 1 bins of a real signal's transform, unnormalised (a
// round trip multiplies by N). As RealFft: fill input(), execute(), read
// output(); execute() leaves the input as it is.
class InverseRealFft {
 public:
  static std::unique_ptr<InverseRealFft> create(int points);
  ~InverseRealFft();
  InverseRealFft(const InverseRealFft&) = delete;
  InverseRealFft& operator=(const InverseRealFft&) = delete;

  int points() const { return points_; }
  int bins() const { return points_ / 2 + 1; }
  std::complex<float>* input() { return input_; }
  const float* output() const { return output_; }

  void execute();

 private:
  InverseRealFft(int points, std::complex<float>* input, float* output, fftwf_plan_s* plan)
      : points_(points), input_(input), output_(output), plan_(plan) {}

  int points_;
  std::complex<float>* input_;
  float* output_;
  fftwf_plan_s* plan_;
};

}  // namespace dsp
