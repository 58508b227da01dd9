// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Noise.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "dsp/Random.h"
#include "measure/Level.h"
#include "measure/TransformPair.h"

namespace measure {

namespace {
constexpr double kPinkFromHz = 10;
}

Noise::Noise(Colour colour, double dbfs, unsigned rate, double seconds, std::size_t period, std::uint64_t seed)
    : colour_(colour),
      dbfs_(dbfs),
      frames_(seconds > 0 ? static_cast<std::uint64_t>(std::llround(seconds * rate)) : 0),
      period_(period) {
  TransformPair fft(period);
  dsp::Random random(seed);
  std::complex<float>* bins = fft.spectrum();
  const std::size_t half = period / 2;
  const double binHz = static_cast<double>(rate) / static_cast<double>(period);
  for (std::size_t k = 0; k <= half; ++k) {
    const double hz = static_cast<double>(k) * binHz;
    double magnitude = 0;
    if (k > 0 && colour == Colour::White) magnitude = 1;
    if (colour == Colour::Pink && hz >= kPinkFromHz) magnitude = 1 / std::sqrt(hz);
    const double phase = 2 * std::numbers::pi * random.uniform();
    // The Nyquist bin of an even period is real.
    bins[k] = k == half && period % 2 == 0 ? std::complex<float>(static_cast<float>(magnitude), 0)
                                           : std::polar(static_cast<float>(magnitude), static_cast<float>(phase));
  }
  fft.inverse();
  double power = 0;
  for (std::size_t i = 0; i < period; ++i) power += static_cast<double>(fft.time()[i]) * fft.time()[i];
  const double rms = std::sqrt(power / static_cast<double>(period));
  const double scale = rms > 0 ? RmsOf(dbfs) / rms : 0;
  for (std::size_t i = 0; i < period; ++i) period_[i] = static_cast<float>(fft.time()[i] * scale);
}

void Noise::render(float* out, std::size_t n) noexcept {
  const std::uint64_t p = period_.size();
  for (std::size_t i = 0; i < n; ++i, ++index_)
    out[i] = frames_ != 0 && index_ >= frames_ ? 0.0f : std::clamp(period_[index_ % p], -1.0f, 1.0f);
}

std::string Noise::describe() const {
  char text[96];
  std::snprintf(text, sizeof text, "%s noise at %.2f dBFS", colour_ == Colour::Pink ? "pink" : "white", dbfs_);
  return text;
}

}  // namespace measure
