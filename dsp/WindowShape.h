// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The shape a steady tone takes in the frames' transform: the transform of
// the analyser's window (a symmetric Hamming window of the transform's
// length, w[n] = 0.54 - 0.46 cos(2 pi n / (N - 1))), as a function of the
// distance in bins between a bin and the tone.
//
// The window's transform at d bins is W(d) = e^(-i pi d (N-1)/N) K(d) with K
// real: the phase is the same linear ramp for every tone, so the bins of a
// sum of tones are (up to that common ramp) sums of real kernels K(k - f)
// weighted by one complex number per tone. The estimators build on that.
#pragma once

#include <complex>
#include <vector>

namespace dsp {

// The analyser's window itself, as the frames' transform multiplies the
// samples by it: w[n] in single precision.
std::vector<float> analyserWindow(int points);

class WindowShape {
 public:
  explicit WindowShape(int points);

  int points() const { return n_; }
  // K(d): exact, for any real d, including the image of a tone folded back
  // from beyond the transform's length.
  double at(double bins) const;
  // K(first - centre), K(first + 1 - centre), ...: count values into out,
  // as at() gives them, at a small part of its cost.
  void run(double centre, int first, int count, double* out) const;
  // A tone's kernel and its image's, K(k - f) and K(k + f) for k = first
  // ... first + count - 1, into minus and plus: run(f, ...) and run(-f, ...),
  // sharing their sines.
  void pair(double f, int first, int count, double* minus, double* plus) const;
  // K(0) = sum of w[n]: a tone of amplitude A exactly on a bin gives a bin
  // of magnitude A K(0) / 2.
  double gain() const { return gain_; }
  // Sum of w[n]^2: what white noise of unit power puts into each bin.
  double powerGain() const { return powerGain_; }

 private:
  double dirichlet(double bins) const;
  // Adds kernel j (weight and shift) along bins i = 0 ... count - 1 at
  // distances k0 + i + sign e, whose sine at i = 0 is numerator, to out.
  void addKernel(int j, double e, int sign, long long k0, double numerator, int count, double* out) const;

  int n_;
  double step_;  // N / (N - 1): where the cosine's two shifted kernels sit
  double piOverN_;
  std::complex<double> turn_;  // e^(i pi / N): one bin along the kernels' denominators
  double gain_;
  double powerGain_;
};

}  // namespace dsp
