// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "measure/Level.h"

namespace measure {

Sweep::Sweep(Law law, double fromHz, double toHz, double seconds, double dbfs, unsigned rate, double fadeIn,
             double fadeOut)
    : law_(law), f1_(fromHz), f2_(toHz), dbfs_(dbfs), rate_(rate), amplitude_(SinePeak(dbfs)) {
  if (law == Law::Exponential) {
    const double octaves = std::log(f2_ / f1_);
    l_ = std::max(1.0, std::round(f1_ * seconds / octaves)) / f1_;
    duration_ = l_ * octaves;
  } else {
    duration_ = seconds;
  }
  frames_ = static_cast<std::uint64_t>(std::llround(duration_ * rate_));
  const double fade = std::min(duration_ / 20, 0.05);
  fadeIn_ = std::max(1.0, (fadeIn < 0 ? fade : fadeIn) * rate_);
  fadeOut_ = std::max(1.0, (fadeOut < 0 ? fade : fadeOut) * rate_);
}

double Sweep::frequencyAt(double t) const noexcept {
  if (law_ == Law::Exponential) return f1_ * std::exp(t / l_);
  return f1_ + (f2_ - f1_) * t / duration_;
}

double Sweep::sample(std::uint64_t k) const noexcept {
  const double t = static_cast<double>(k) / rate_;
  double cycles;
  if (law_ == Law::Exponential) {
    // f1 L is a whole number of cycles, so the sweep starts at phase 0.
    cycles = f1_ * l_ * std::exp(t / l_);
  } else {
    cycles = f1_ * t + (f2_ - f1_) * t * t / (2 * duration_);
  }
  double v = std::sin(2 * std::numbers::pi * (cycles - std::floor(cycles)));
  const double fromEnd = static_cast<double>(frames_ - 1 - k);
  const double x = static_cast<double>(k);
  if (x < fadeIn_) v *= 0.5 - 0.5 * std::cos(std::numbers::pi * x / fadeIn_);
  if (fromEnd < fadeOut_) v *= 0.5 - 0.5 * std::cos(std::numbers::pi * fromEnd / fadeOut_);
  return amplitude_ * v;
}

void Sweep::render(float* out, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i, ++index_) out[i] = index_ < frames_ ? static_cast<float>(sample(index_)) : 0.0f;
}

std::string Sweep::describe() const {
  char text[160];
  std::snprintf(text, sizeof text, "%s sweep %.2f Hz to %.2f Hz in %.2f s at %.2f dBFS",
                law_ == Law::Exponential ? "logarithmic" : "linear", f1_, f2_, duration_, dbfs_);
  return text;
}

}  // namespace measure
