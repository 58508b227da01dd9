// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/SincInterpolator.h"

#include <cmath>
#include <numbers>

namespace dsp {

namespace {
constexpr double kBeta = 8.6;  // Kaiser window: sidelobes about -85 dB

// The modified Bessel function of the first kind, order 0, by its series.
double BesselI0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 64 && term > 1e-17 * sum; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
  }
  return sum;
}
}  // namespace

const SincInterpolator& SincInterpolator::Instance() {
  static const SincInterpolator table;
  return table;
}

// Row p holds the weights of x[i + k], k = 1 - W ... W, for the point
// i + p / kPhases, each row scaled to sum to 1 so that a constant passes
// exactly.
SincInterpolator::SincInterpolator() : table_(static_cast<std::size_t>(kPhases + 1) * kTaps) {
  const double i0Beta = BesselI0(kBeta);
  for (int p = 0; p <= kPhases; ++p) {
    const double mu = static_cast<double>(p) / kPhases;
    double* row = &table_[static_cast<std::size_t>(p) * kTaps];
    double sum = 0;
    for (int j = 0; j < kTaps; ++j) {
      const double t = (j + 1 - kHalfWidth) - mu;  // distance from the point
      const double r = t / kHalfWidth;
      const double window = std::abs(r) >= 1 ? 0 : BesselI0(kBeta * std::sqrt(1 - r * r)) / i0Beta;
      const double sinc = t == 0 ? 1 : std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
      row[j] = sinc * window;
      sum += row[j];
    }
    for (int j = 0; j < kTaps; ++j) row[j] /= sum;
  }
}

template <typename T>
double SincInterpolator::blend(const T* x, double mu) const noexcept {
  const double scaled = mu * kPhases;
  const int p = static_cast<int>(scaled);
  const double f = scaled - p;
  const double* lo = &table_[static_cast<std::size_t>(p) * kTaps];
  const double* hi = lo + kTaps;
  const T* from = x + 1 - kHalfWidth;
  double a = 0, b = 0;
  for (int j = 0; j < kTaps; ++j) {
    a += lo[j] * from[j];
    b += hi[j] * from[j];
  }
  return a + f * (b - a);
}

double SincInterpolator::at(const float* x, double mu) const noexcept { return blend(x, mu); }
double SincInterpolator::at(const double* x, double mu) const noexcept { return blend(x, mu); }

double SincInterpolator::atPosition(const float* signal, std::size_t n, double pos) const noexcept {
  const double whole = std::floor(pos);
  const auto i = static_cast<long long>(whole);
  const auto size = static_cast<long long>(n);
  if (i + kHalfWidth < 0 || i - kHalfWidth >= size) return 0;
  if (i - kHalfWidth + 1 >= 0 && i + kHalfWidth < size) return blend(signal + i, pos - whole);
  // Near an end: the missing samples are zero.
  double window[kTaps];
  for (int j = 0; j < kTaps; ++j) {
    const long long k = i + 1 - kHalfWidth + j;
    window[j] = k >= 0 && k < size ? signal[k] : 0.0;
  }
  return blend(window + kHalfWidth - 1, pos - whole);
}

}  // namespace dsp
