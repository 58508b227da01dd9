// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Tone.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "measure/Level.h"

namespace measure {

namespace {
// The step of a band-limited edge at phase t (in cycles) from the edge,
// for dt cycles per sample: zero beyond one sample from it.
double PolyBlep(double t, double dt) noexcept {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}
}  // namespace

Tone::Tone(Shape shape, double hz, double dbfs, unsigned rate, double seconds, unsigned onCycles, unsigned offCycles)
    : shape_(shape),
      centiHz_(std::llround(hz * 100)),
      dbfs_(dbfs),
      rate_(rate),
      amplitude_(SinePeak(dbfs)),
      frames_(seconds > 0 ? static_cast<std::uint64_t>(std::llround(seconds * rate)) : 0),
      on_(onCycles),
      off_(offCycles) {
  if (shape_ != Shape::Square) return;
  // The smoothed edges take a little of the square's power (more the
  // higher its frequency): its RMS value over the phases is made that of
  // the level.
  const double dt = static_cast<double>(centiHz_) / (100.0 * rate_);
  const int steps = 1 << 16;
  double power = 0;
  for (int i = 0; i < steps; ++i) {
    const double phase = (i + 0.5) / steps;
    const double v = (phase < 0.5 ? 1 : -1) + PolyBlep(phase, dt) - PolyBlep(std::fmod(phase + 0.5, 1.0), dt);
    power += v * v;
  }
  amplitude_ = RmsOf(dbfs) / std::sqrt(power / steps);
}

void Tone::render(float* out, std::size_t n) noexcept {
  // Cycles at sample k: k * centiHz / (100 * rate), exact as a whole part
  // and a remainder.
  const unsigned __int128 perCycle = static_cast<unsigned __int128>(rate_) * 100;
  const double dt = static_cast<double>(centiHz_) / static_cast<double>(perCycle);
  for (std::size_t i = 0; i < n; ++i, ++index_) {
    if (frames_ != 0 && index_ >= frames_) {
      out[i] = 0;
      continue;
    }
    const unsigned __int128 scaled = static_cast<unsigned __int128>(index_) * static_cast<std::uint64_t>(centiHz_);
    const auto remainder = static_cast<double>(static_cast<std::uint64_t>(scaled % perCycle));
    const double phase = remainder / static_cast<double>(perCycle);  // 0 <= phase < 1
    double v = 0;
    switch (shape_) {
      case Shape::Sine:
        v = std::sin(2 * std::numbers::pi * phase);
        break;
      case Shape::Square: {
        v = phase < 0.5 ? 1 : -1;
        v += PolyBlep(phase, dt);
        v -= PolyBlep(std::fmod(phase + 0.5, 1.0), dt);
        break;
      }
      case Shape::Burst: {
        const auto cycle = static_cast<std::uint64_t>(scaled / perCycle);
        const bool on = cycle % (on_ + off_) < on_;
        v = on ? std::sin(2 * std::numbers::pi * phase) : 0;
        break;
      }
    }
    out[i] = static_cast<float>(amplitude_ * v);
  }
}

std::string Tone::describe() const {
  char text[160];
  const double hz = static_cast<double>(centiHz_) / 100;
  switch (shape_) {
    case Shape::Sine:
      std::snprintf(text, sizeof text, "%.2f Hz sine at %.2f dBFS", hz, dbfs_);
      break;
    case Shape::Square:
      std::snprintf(text, sizeof text, "%.2f Hz square at %.2f dBFS", hz, dbfs_);
      break;
    case Shape::Burst:
      std::snprintf(text, sizeof text, "%.2f Hz tone burst (%u cycles on, %u off) at %.2f dBFS", hz, on_, off_, dbfs_);
      break;
  }
  return text;
}

}  // namespace measure
