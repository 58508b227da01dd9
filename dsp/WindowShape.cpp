// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/WindowShape.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace dsp {

namespace {

// sin(pi x), accurate near every integer x (where the kernels have their
// zeros and their removable singularities).
double sinPi(double x) {
  const double m = std::round(x);
  const double s = std::sin(std::numbers::pi * (x - m));
  return std::fmod(m, 2.0) != 0 ? -s : s;
}

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
  constexpr double kWeights[3] = {0.54, 0.23, 0.23};
  constexpr int kReseed = 64;  // bins between fresh phasors
  const double reachBins = kSeriesReach * n_ / std::numbers::pi, half = 0.5 * n_;
  std::fill(out, out + count, 0.0);
  const double shifts[3] = {0, step_, -step_};
  for (int j = 0; j < 3; ++j) {
    const double d0 = first - centre - shifts[j];
    const double numerator = kWeights[j] * sinPi(d0);
    const double limit = kWeights[j] * n_;  // the kernel's value at d = m N, but for its sign
    // Bin i lies r = d0 + (i - m N) from the multiple m N nearest it: a sum
    // that rounds like r itself when r is small.
    long long m = std::llround(d0 / n_);
    std::complex<double> phasor;
    int seeded = -1;  // the bin the phasor was last set at, or -1 where it has lapsed
    for (int i = 0; i < count; ++i) {
      double r = d0 + double(i - m * n_);
      while (r > half) ++m, r = d0 + double(i - m * n_);
      const double sign = i % 2 ? -1 : 1;
      double value;
      if (std::fabs(r) <= reachBins) {
        const bool odd = m % 2 != 0;
        if (r == 0)  // d = m N: the limit, N cos(pi m N) / cos(pi m)
          value = (m * (n_ + 1)) % 2 != 0 ? -limit : limit;
        else
          value = sign * numerator / ((odd ? -1 : 1) * sinSmall(r * piOverN_));
        seeded = -1;
      } else {
        if (seeded < 0 || i - seeded >= kReseed)
          phasor = std::polar(1.0, std::numbers::pi * (d0 + i) / n_), seeded = i;
        else
          phasor *= turn_;
        value = sign * numerator / phasor.imag();
      }
      out[i] += value;
    }
  }
}

}  // namespace dsp
