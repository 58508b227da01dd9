// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/FrequencyWeighting.h"

#include "dsp/NoDenormals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace dsp {

namespace {

constexpr double kF1 = 20.598997, kF2 = 107.65265, kF3 = 737.86223, kF4 = 12194.217;
constexpr double kA1000 = -2.000, kC1000 = -0.062;
constexpr double kTwoPi = 2 * std::numbers::pi;
// Below this input rate the filters run at twice it.
constexpr double kOversampleBelow = 80000;
// The interpolator is flat to this fraction of the input rate.
constexpr double kInterpolatorFlatTo = 2 * HalfBandKernel::kFlatFraction;

// The bilinear transform of s^2 / ((s + wa)(s + wb)) at `rate`.
BiquadCoefficients highPassPair(double wa, double wb, double rate) {
  const double k = 2 * rate;
  const double a0 = (k + wa) * (k + wb);
  const double a1 = -((k + wa) * (k - wb) + (k - wa) * (k + wb));
  const double a2 = (k - wa) * (k - wb);
  const double g = k * k / a0;
  return {g, -2 * g, g, a1 / a0, a2 / a0};
}

std::complex<double> cascade(const std::vector<BiquadCoefficients>& s, double hz, double rate) {
  std::complex<double> h = 1;
  for (const BiquadCoefficients& c : s) h *= c.response(hz, rate);
  return h;
}

// Solves the 3 x 3 system m x = v (Gaussian elimination, partial pivoting).
std::array<double, 3> solve3(std::array<std::array<double, 3>, 3> m, std::array<double, 3> v) {
  for (int i = 0; i < 3; ++i) {
    int p = i;
    for (int r = i + 1; r < 3; ++r)
      if (std::fabs(m[size_t(r)][size_t(i)]) > std::fabs(m[size_t(p)][size_t(i)])) p = r;
    std::swap(m[size_t(i)], m[size_t(p)]);
    std::swap(v[size_t(i)], v[size_t(p)]);
    for (int r = i + 1; r < 3; ++r) {
      const double f = m[size_t(r)][size_t(i)] / m[size_t(i)][size_t(i)];
      for (int c = i; c < 3; ++c) m[size_t(r)][size_t(c)] -= f * m[size_t(i)][size_t(c)];
      v[size_t(r)] -= f * v[size_t(i)];
    }
  }
  std::array<double, 3> x{};
  for (int i = 2; i >= 0; --i) {
    double s = v[size_t(i)];
    for (int c = i + 1; c < 3; ++c) s -= m[size_t(i)][size_t(c)] * x[size_t(c)];
    x[size_t(i)] = s / m[size_t(i)][size_t(i)];
  }
  return x;
}

// The zero z inside (or on) the unit circle with z + 1/z = u.
std::complex<double> zeroInside(std::complex<double> u) {
  const std::complex<double> d = std::sqrt(u * u - 4.0);
  const std::complex<double> a = (u + d) / 2.0, b = (u - d) / 2.0;
  return std::abs(a) <= std::abs(b) ? a : b;
}

// The section for the double pole at f4: the pole where the analogue one
// lands, the two zeros fitted so that the cascade's magnitude follows the
// standard's curve. |B(e^jw)|^2 = d0 + 2 d1 cos w + 2 d2 cos 2w is linear in
// d, so the fit is ordinary least squares on the squared magnitude, each
// point weighted by its target so that the error is relative (as in dB).
// With u = z + 1/z, the cosine polynomial is d2 u^2 + d1 u + d0 - 2 d2; each
// of its roots gives one zero of B, the one inside the unit circle.
BiquadCoefficients fittedPoleSection(Weighting w, const std::vector<BiquadCoefficients>& rest, double rate,
                                     double topHz) {
  const double p = std::exp(-kTwoPi * kF4 / rate);
  const BiquadCoefficients poles{1, 0, 0, -2 * p, p * p};
  std::array<std::array<double, 3>, 3> m{};
  std::array<double, 3> v{};
  constexpr int kPoints = 240;
  for (int i = 0; i < kPoints; ++i) {
    const double hz = 10 * std::pow(topHz / 10, i / (kPoints - 1.0));
    const double omega = kTwoPi * hz / rate;
    // What the zeros must give: the target over the rest of the cascade.
    const double want = std::pow(10, weightingDb(w, hz) / 10) / std::norm(poles.response(hz, rate)) /
                        std::norm(cascade(rest, hz, rate));
    const std::array<double, 3> row{1, 2 * std::cos(omega), 2 * std::cos(2 * omega)};
    const double weight = 1 / (want * want);
    for (size_t a = 0; a < 3; ++a) {
      for (size_t b = 0; b < 3; ++b) m[a][b] += weight * row[a] * row[b];
      v[a] += weight * row[a] * want;
    }
  }
  const std::array<double, 3> d = solve3(m, v);
  std::complex<double> z1 = 0, z2 = 0;
  if (std::fabs(d[2]) > 1e-12 * (std::fabs(d[0]) + std::fabs(d[1]))) {
    const std::complex<double> disc = std::sqrt(std::complex<double>(d[1] * d[1] - 4 * d[2] * (d[0] - 2 * d[2])));
    z1 = zeroInside((-d[1] + disc) / (2 * d[2]));
    z2 = zeroInside((-d[1] - disc) / (2 * d[2]));
  } else {
    z1 = zeroInside(-d[0] / d[1]);
  }
  const double b1 = -(z1 + z2).real(), b2 = (z1 * z2).real();
  // The gain from the polynomial's value at DC, |B(1)|^2 = d0 + 2 d1 + 2 d2.
  const double g = std::sqrt(std::max(0.0, d[0] + 2 * d[1] + 2 * d[2])) / std::fabs(1 + b1 + b2);
  return {g, g * b1, g * b2, poles.a1, poles.a2};
}

}  // namespace

char weightingLetter(Weighting w) { return w == Weighting::A ? 'A' : w == Weighting::C ? 'C' : 'Z'; }

double weightingDb(Weighting w, double hz) {
  if (w == Weighting::Z) return 0;
  if (hz <= 0) return -std::numeric_limits<double>::infinity();
  const double f2 = hz * hz;
  const double c = kF4 * kF4 * f2 / ((f2 + kF1 * kF1) * (f2 + kF4 * kF4));
  if (w == Weighting::C) return 20 * std::log10(c) - kC1000;
  return 20 * std::log10(c * f2 / std::sqrt((f2 + kF2 * kF2) * (f2 + kF3 * kF3))) - kA1000;
}

WeightingFilter::WeightingFilter(Weighting w, double rate) : weighting_(w), rate_(rate) {
  if (w == Weighting::Z) return;
  oversampling_ = rate < kOversampleBelow ? 2 : 1;
  const double working = workingRate();
  const double w1 = kTwoPi * kF1;
  design_.push_back(highPassPair(w1, w1, working));
  if (w == Weighting::A) design_.push_back(highPassPair(kTwoPi * kF2, kTwoPi * kF3, working));
  const double topHz = oversampling_ == 2 ? std::min(20000.0, kInterpolatorFlatTo * rate) : 20000.0;
  design_.push_back(fittedPoleSection(w, design_, working, topHz));
  // Exactly the standard's value at 1 kHz.
  const double g = std::pow(10, (weightingDb(w, 1000) - responseDb(1000)) / 20);
  BiquadCoefficients& last = design_.back();
  last.b0 *= g;
  last.b1 *= g;
  last.b2 *= g;
  for (const BiquadCoefficients& c : design_) sections_.emplace_back(c);
}

void WeightingFilter::reset() noexcept {
  for (Biquad& s : sections_) s.reset();
  upsampler_.reset();
}

double WeightingFilter::responseDb(double hz) const {
  if (weighting_ == Weighting::Z) return 0;
  double h = std::abs(cascade(design_, hz, workingRate()));
  if (oversampling_ == 2) h *= std::fabs(HalfBandKernel::response(hz / workingRate()));
  return 20 * std::log10(h);
}

void WeightingFilter::process(const float* in, std::size_t n, double* out) noexcept {
  const NoDenormals flushed;
  if (weighting_ == Weighting::Z) {
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
    return;
  }
  // The input goes to the back of out and is doubled from there into the
  // whole of it: the interpolator reads each input before writing over it.
  double* staged = out + (oversampling_ - 1) * n;
  for (std::size_t i = 0; i < n; ++i) staged[i] = in[i];
  if (oversampling_ == 2) upsampler_.process(staged, n, out);
  const std::size_t total = n * size_t(oversampling_);
  for (Biquad& s : sections_)
    for (std::size_t i = 0; i < total; ++i) out[i] = s.process(out[i]);
}

}  // namespace dsp
