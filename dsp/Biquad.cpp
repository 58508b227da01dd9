// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/Biquad.h"

#include <cmath>
#include <numbers>

namespace dsp {

std::complex<double> BiquadCoefficients::response(double hz, double rate) const noexcept {
  const double w = 2 * std::numbers::pi * hz / rate;
  const std::complex<double> z1 = std::polar(1.0, -w), z2 = z1 * z1;
  return (b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2);
}

namespace {
// Normalises an analogue-derived section by a0.
BiquadCoefficients Normalised(double b0, double b1, double b2, double a0, double a1, double a2) noexcept {
  return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}
}  // namespace

BiquadCoefficients BiquadCoefficients::Peaking(double hz, double q, double gainDb, double rate) noexcept {
  const double a = std::pow(10.0, gainDb / 40);
  const double w = 2 * std::numbers::pi * hz / rate;
  const double alpha = std::sin(w) / (2 * q), c = std::cos(w);
  return Normalised(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

BiquadCoefficients BiquadCoefficients::LowPass(double hz, double q, double rate) noexcept {
  const double w = 2 * std::numbers::pi * hz / rate;
  const double alpha = std::sin(w) / (2 * q), c = std::cos(w);
  return Normalised((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

BiquadCoefficients BiquadCoefficients::HighPass(double hz, double q, double rate) noexcept {
  const double w = 2 * std::numbers::pi * hz / rate;
  const double alpha = std::sin(w) / (2 * q), c = std::cos(w);
  return Normalised((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

}  // namespace dsp
