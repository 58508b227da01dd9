// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/WindowShape.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace dsp {

namespace {

// The whole number nearest x, for |x| < 2^62, without a call into the C library.
long long nearest(double x) { return static_cast<long long>(x < 0 ? x - 0.5 : x + 0.5); }

// sin(pi x), accurate near every integer x (where the kernels have their
// zeros and their removable singularities).
double sinPi(double x) {
  if (!(std::fabs(x) < 0x1p52)) return 0 * x;  // a whole number, or not a number
  const long long m = nearest(x);
  const double s = std::sin(std::numbers::pi * (x - double(m)));
  return m % 2 != 0 ? -s : s;
}

// w = 0.54 - 0.23 (e^(i 2 pi n/(N-1)) + e^(-i 2 pi n/(N-1))): the three
// kernels' weights and shifts, in steps of N / (N - 1) (see at()).
constexpr double kWeights[3] = {0.54, 0.23, 0.23};
constexpr double kShifts[3] = {0, 1, -1};

// sin x for |x| <= kSeriesReach, by its Taylor series: the first term left
// out, x^11 / 11!, is below 1e-17 of it there.
constexpr double kSeriesReach = 0.125;
double sinSmall(double x) {
  const double x2 = x * x;
  return x * (1 + x2 * (-1.0 / 6 + x2 * (1.0 / 120 + x2 * (-1.0 / 5040 + x2 * (1.0 / 362880)))));
}

}  // namespace

std::vector<float> analyserWindow(int points) {
  std::vector<float> w(size_t(std::max(points, 0)));
  for (int n = 0; n < points; ++n)
    w[size_t(n)] = static_cast<float>(0.54 - 0.46 * std::cos(2 * std::numbers::pi * n / (points - 1)));
  return w;
}

WindowShape::WindowShape(int points)
    : n_(points),
      step_(double(points) / (points - 1)),
      piOverN_(std::numbers::pi / points),
      turn_(std::polar(1.0, std::numbers::pi / points)) {
  double sum = 0, sumSquares = 0;
  for (int n = 0; n < n_; ++n) {
    const double w = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * n / (n_ - 1));
    sum += w;
    sumSquares += w * w;
  }
  gain_ = sum;
  powerGain_ = sumSquares;
}

// The transform of N ones, without its phase ramp: sin(pi d) / sin(pi d / N).
double WindowShape::dirichlet(double d) const {
  const double below = sinPi(d / n_);
  if (below == 0) {  // d = m N: the limit, N cos(pi m N) / cos(pi m)
    const long long m = std::llround(d / n_);
    return (m * (n_ + 1)) % 2 != 0 ? -n_ : n_;
  }
  return sinPi(d) / below;
}

// w = 0.54 - 0.23 (e^(i 2 pi n/(N-1)) + e^(-i 2 pi n/(N-1))): three shifted
// kernels; shifting by a whole turn over N - 1 points flips the sign of the
// phase ramp over N points, hence the plus signs.
double WindowShape::at(double d) const {
  return 0.54 * dirichlet(d) + 0.23 * dirichlet(d - step_) + 0.23 * dirichlet(d + step_);
}

// Along a run of whole bins, each of the three kernels' numerators
// sin(pi d) only changes sign: one sine serves the run. Its denominator
// sin(pi d / N) is, near a multiple m N of N (where both vanish, and the
// kernel has its peak), (-1)^m sin(pi r / N) with r = d - m N a small
// exact difference, from a short series that keeps full precision however
// close r comes to 0; elsewhere it is the imaginary part of a phasor that
// turns by pi / N per bin, at least sin(kSeriesReach) there, so that the
// phasor's rounding stays small beside it.
void WindowShape::run(double centre, int first, int count, double* out) const {
  std::fill(out, out + count, 0.0);
  for (int j = 0; j < 3; ++j) {
    const double d0 = first - centre - kShifts[j] * step_;
    addKernel(j, d0, 1, 0, sinPi(d0), count, out);
  }
}

// The image's kernel with shift s at bin k, k + f - s = 2 first - (first - f
// + s) + (k - first), is the tone's kernel with shift -s mirrored about
// first: its numerator is minus that kernel's, and its distance from a
// multiple of N an exact difference from the same d0.
void WindowShape::pair(double f, int first, int count, double* minus, double* plus) const {
  std::fill(minus, minus + count, 0.0);
  std::fill(plus, plus + count, 0.0);
  double d0[3], numerator[3];
  for (int j = 0; j < 3; ++j) {
    d0[j] = first - f - kShifts[j] * step_;
    numerator[j] = sinPi(d0[j]);
    addKernel(j, d0[j], 1, 0, numerator[j], count, minus);
  }
  constexpr int kMirror[3] = {0, 2, 1};
  for (int j = 0; j < 3; ++j) addKernel(j, d0[kMirror[j]], -1, 2LL * first, -numerator[kMirror[j]], count, plus);
}

// Bin i lies at d = k0 + i + sign e, r = sign e + (k0 + i - m N) from a
// multiple m N: a sum that rounds like r itself when r is small. The run
// goes in stretches, each near one multiple or between two, and each
// stretch in a loop of its own without a branch to take.
void WindowShape::addKernel(int j, double e, int sign, long long k0, double numerator, int count, double* out) const {
  constexpr int kReseed = 64;  // bins between fresh phasors
  const double reach = kSeriesReach * n_ / std::numbers::pi, half = 0.5 * n_;
  const double weighted = kWeights[j] * numerator;
  const double limit = kWeights[j] * n_;  // the kernel's value at d = m N, but for its sign
  if (!(std::fabs(e) < 0x1p52)) {         // no distance that bins can be counted along
    std::fill(out, out + count, std::numeric_limits<double>::quiet_NaN());
    return;
  }
  long long m = nearest((double(k0) + sign * e) / n_);
  for (int i = 0; i < count;) {
    const double offset = double(k0 - m * n_), r = sign * e + (offset + i);
    if (r > half) {
      ++m;
      continue;
    }
    if (std::fabs(r) <= reach) {
      const int end = std::min(count, i + 1 + static_cast<int>(reach - r));
      const double atFirst = m % 2 != 0 ? -weighted : weighted;
      auto series = [&](int to) {
        for (; i < to; ++i) out[i] += (i % 2 ? -atFirst : atFirst) / sinSmall((sign * e + (offset + i)) * piOverN_);
      };
      // The bin at d = m N, if one is: there the limit, N cos(pi m N) / cos(pi m).
      const double hit = -sign * e - offset;
      const int peak = hit >= i && hit < end && double(static_cast<int>(hit)) == hit ? static_cast<int>(hit) : end;
      series(peak);
      if (peak < end) {
        out[peak] += (m * (n_ + 1)) % 2 != 0 ? -limit : limit;
        i = peak + 1;
        series(end);
      }
    } else {
      // Up to reach below m N, or to reach below (m + 1) N.
      const double bound = r < 0 ? -reach : n_ - reach;
      std::complex<double> phasor;
      for (const int from = i; i < count && sign * e + (offset + i) < bound; ++i) {
        if ((i - from) % kReseed == 0)
          phasor = std::polar(1.0, std::numbers::pi * (double(k0 + i) + sign * e) / n_);
        else
          phasor *= turn_;
        out[i] += (i % 2 ? -weighted : weighted) / phasor.imag();
      }
    }
  }
}

}  // namespace dsp
