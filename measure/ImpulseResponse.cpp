// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/ImpulseResponse.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/SincInterpolator.h"

namespace measure {

std::vector<double> ReportFrequencies(double fromHz, double toHz) {
  std::vector<double> out;
  for (int i = 0;; ++i) {
    const double hz = fromHz * std::exp2(i / 48.0);
    if (hz >= toHz * (1 - 1e-9)) break;
    out.push_back(hz);
  }
  out.push_back(toHz);
  return out;
}

std::vector<float> Cut(const std::vector<float>& ir, long long start, std::size_t fadeIn, std::size_t length) {
  const auto n = static_cast<long long>(ir.size());
  const std::size_t total = fadeIn + length;
  const std::size_t fadeOut = std::max<std::size_t>(1, length / 4);
  std::vector<float> out(total);
  for (std::size_t i = 0; i < total; ++i) {
    long long at = (start - static_cast<long long>(fadeIn) + static_cast<long long>(i)) % n;
    if (at < 0) at += n;
    double w = 1;
    if (i < fadeIn) w = 0.5 - 0.5 * std::cos(std::numbers::pi * (static_cast<double>(i) + 0.5) / fadeIn);
    const std::size_t fromEnd = total - 1 - i;
    if (fromEnd < fadeOut) w *= 0.5 - 0.5 * std::cos(std::numbers::pi * (static_cast<double>(fromEnd) + 0.5) / fadeOut);
    out[i] = static_cast<float>(w * ir[static_cast<std::size_t>(at)]);
  }
  return out;
}

PointResponse ResponseAt(const std::vector<float>& ir, double origin, double hz, double rate) {
  const double w = 2 * std::numbers::pi * hz / rate;
  // e^(-jw i), advanced by one rotation a sample and set afresh every 1024
  // samples, so that the rounding of the rotations does not build up.
  const std::complex<double> step = std::polar(1.0, -w);
  std::complex<double> h = 0, g = 0, phasor = 1;
  for (std::size_t i = 0; i < ir.size(); ++i) {
    if (i % 1024 == 0) phasor = std::polar(1.0, -w * static_cast<double>(i));
    const double v = ir[i];
    h += v * phasor;
    g += (static_cast<double>(i) - origin) * v * phasor;
    phasor *= step;
  }
  const std::complex<double> shift = std::polar(1.0, w * origin);
  h *= shift;
  g *= shift;
  return {h, std::abs(h) > 0 ? std::real(g / h) : 0.0};
}

std::vector<float> Resample(const std::vector<float>& in, double origin, double ratio) {
  const dsp::SincInterpolator& sinc = dsp::SincInterpolator::Instance();
  std::vector<float> out(in.size());
  for (std::size_t m = 0; m < out.size(); ++m)
    out[m] =
        static_cast<float>(sinc.atPosition(in.data(), in.size(), origin + (static_cast<double>(m) - origin) * ratio));
  return out;
}

LowEdge::LowEdge(double hz, double rate)
    : rate_(rate),
      a_(dsp::BiquadCoefficients::HighPass(hz, 0.5412, rate)),
      b_(dsp::BiquadCoefficients::HighPass(hz, 1.3066, rate)) {}

std::complex<double> LowEdge::at(double hz) const noexcept { return a_.response(hz, rate_) * b_.response(hz, rate_); }

double LowEdge::groupDelay(double hz) const noexcept {
  const double d = hz * 1e-4;
  const double turn = std::arg(at(hz + d) * std::conj(at(hz - d)));
  return -turn / (2 * std::numbers::pi * 2 * d / rate_);
}

double MeanSquare(const float* x, std::size_t count, long long from, long long to) {
  from = std::max<long long>(from, 0);
  to = std::min<long long>(to, static_cast<long long>(count));
  if (to <= from) return 0;
  double sum = 0;
  for (long long i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
  return sum / static_cast<double>(to - from);
}

}  // namespace measure
