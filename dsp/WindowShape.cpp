// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/WindowShape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <utility>

namespace dsp {

namespace {

// sin(pi x), accurate near every integer x (where the kernels have their
// zeros and their removable singularities).
double sinPi(double x) {
  const double m = std::round(x);
  const double s = std::sin(std::numbers::pi * (x - m));
  return std::fmod(m, 2.0) != 0 ? -s : s;
}

}  // namespace

std::vector<float> analyserWindow(int points) {
  std::vector<float> w(size_t(std::max(points, 0)));
  for (int n = 0; n < points; ++n)
    w[size_t(n)] = static_cast<float>(0.54 - 0.46 * std::cos(2 * std::numbers::pi * n / (points - 1)));
  return w;
}

WindowShape::WindowShape(int points) : n_(points), step_(double(points) / (points - 1)) {
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
// sin(pi d) only changes sign, and its denominator sin(pi d / N) is the
// imaginary part of a phasor that turns by pi / N per bin. Within a few bins
// of a kernel's singularities (where both vanish) the values come from at().
void WindowShape::run(double centre, int first, int count, double* out) const {
  constexpr double kWeights[3] = {0.54, 0.23, 0.23};
  constexpr int kReseed = 64;  // bins between fresh phasors: rounding stays below 1e-14
  constexpr double kNearSingular = 4;
  const std::complex<double> turn = std::polar(1.0, std::numbers::pi / n_);
  std::fill(out, out + count, 0.0);
  const double shifts[3] = {0, step_, -step_};
  for (int j = 0; j < 3; ++j) {
    const double d0 = first - centre - shifts[j];
    const double numerator = sinPi(d0);
    // The stretches within a few bins of a multiple of N, in order: a run
    // of fewer than N bins meets at most two multiples, and each further
    // N bins one more.
    std::array<std::pair<int, int>, 8> near;
    size_t stretches = 0;
    for (long long m = std::llround(std::floor((d0 - kNearSingular) / n_)); m * n_ <= d0 + count + kNearSingular; ++m) {
      const int from = std::max(0, int(std::ceil(m * n_ - kNearSingular - d0)));
      const int to = std::min(count - 1, int(std::floor(m * n_ + kNearSingular - d0)));
      if (from <= to && stretches < near.size()) near[stretches++] = {from, to};
    }
    size_t stretch = 0;
    std::complex<double> phasor;
    for (int i = 0; i < count; ++i) {
      phasor = i % kReseed == 0 ? std::polar(1.0, std::numbers::pi * (d0 + i) / n_) : phasor * turn;
      while (stretch < stretches && near[stretch].second < i) ++stretch;
      const bool direct = stretch < stretches && near[stretch].first <= i;
      out[i] += kWeights[j] * (direct ? dirichlet(d0 + i) : (i % 2 ? -numerator : numerator) / phasor.imag());
    }
  }
}

}  // namespace dsp
