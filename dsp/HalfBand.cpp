// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/HalfBand.h"

#include <cmath>
#include <numbers>

namespace dsp {

namespace {

constexpr int kM = HalfBandKernel::kSideTaps;

// The modified Bessel function of the first kind, order 0, by its series.
double besselI0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 100 && term > 1e-17 * sum; ++k) {
    const double h = x / (2 * k);
    term *= h * h;
    sum += term;
  }
  return sum;
}

std::array<double, kM> designSideTaps() {
  // sinc(n / 2) at odd n, windowed by Kaiser over the kernel's span of
  // +-2 kM; then scaled so that either side sums to 1/4 (with the middle
  // tap of 1/2, a gain of exactly 1 at DC).
  constexpr double kBeta = 10;
  std::array<double, kM> taps{};
  double sum = 0;
  for (int k = 0; k < kM; ++k) {
    const double n = 2 * k + 1;
    const double x = std::numbers::pi * n / 2;
    const double r = n / (2.0 * kM);
    taps[size_t(k)] = std::sin(x) / x * besselI0(kBeta * std::sqrt(1 - r * r)) / besselI0(kBeta);
    sum += taps[size_t(k)];
  }
  for (double& t : taps) t *= 0.25 / sum;
  return taps;
}

}  // namespace

const std::array<double, kM>& HalfBandKernel::sideTaps() {
  static const std::array<double, kM> taps = designSideTaps();
  return taps;
}

double HalfBandKernel::response(double fraction) {
  const auto& c = sideTaps();
  double h = 0.5;
  for (int k = 0; k < kM; ++k) h += 2 * c[size_t(k)] * std::cos(2 * std::numbers::pi * fraction * (2 * k + 1));
  return h;
}

Upsampler2::Upsampler2() { HalfBandKernel::sideTaps(); }

void Upsampler2::reset() noexcept {
  history_.fill(0);
  at_ = 0;
}

// The kernel at the higher rate is twice the half-band one (the zeros put
// between the input samples halve the gain). With the last 2 kM inputs
// x[p - 2 kM + 1] ... x[p], the output pair is centred on m = p - kM:
//   y[2m] = x[m],  y[2m + 1] = sum over k of 2 c_k (x[m - k] + x[m + 1 + k]).
void Upsampler2::process(const double* in, std::size_t n, double* out) noexcept {
  const auto& c = HalfBandKernel::sideTaps();
  constexpr std::size_t kLen = 2 * kM;
  for (std::size_t i = 0; i < n; ++i) {
    history_[at_] = history_[at_ + kLen] = in[i];
    at_ = at_ + 1 == kLen ? 0 : at_ + 1;
    // Oldest first: w[0] = x[p - 2 kM + 1], ..., w[2 kM - 1] = x[p].
    const double* w = history_.data() + at_;
    double odd = 0;
    for (int k = 0; k < kM; ++k) odd += c[size_t(k)] * (w[kM - 1 - k] + w[kM + k]);
    out[2 * i] = w[kM - 1];
    out[2 * i + 1] = 2 * odd;
  }
}

Downsampler2::Downsampler2() { HalfBandKernel::sideTaps(); }

void Downsampler2::reset() noexcept {
  history_.fill(0);
  at_ = 0;
  odd_ = false;
}

// With the last kSpan = 4 kM - 1 inputs, the output is centred on the
// middle one, x[p - 2 kM + 1]:
//   y = x[mid] / 2 + sum over k of c_k (x[mid - 2k - 1] + x[mid + 2k + 1]).
std::size_t Downsampler2::process(const double* in, std::size_t n, double* out) noexcept {
  const auto& c = HalfBandKernel::sideTaps();
  std::size_t written = 0;
  for (std::size_t i = 0; i < n; ++i) {
    history_[at_] = history_[at_ + kSpan] = in[i];
    at_ = at_ + 1 == kSpan ? 0 : at_ + 1;
    const bool keep = !odd_;
    odd_ = !odd_;
    if (!keep) continue;
    const double* w = history_.data() + at_;  // oldest first
    constexpr std::size_t mid = 2 * kM - 1;
    double y = 0.5 * w[mid];
    for (int k = 0; k < kM; ++k) y += c[size_t(k)] * (w[mid - 2 * size_t(k) - 1] + w[mid + 2 * size_t(k) + 1]);
    out[written++] = y;
  }
  return written;
}

}  // namespace dsp
