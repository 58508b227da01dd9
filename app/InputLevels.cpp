// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/InputLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace app {

namespace {
// An RMS value's level per AES17: a sine's RMS is its peak / sqrt 2.
constexpr double kSineRmsDb = 3.0103;
}  // namespace

void InputLevels::Measure(const void* samples, std::size_t count) noexcept {
  const auto* bytes = static_cast<const unsigned char*>(samples);
  int peak = 0;
  double sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::int16_t sample;
    std::memcpy(&sample, bytes + 2 * i, sizeof sample);
    const int s = sample;
    peak = std::max(peak, std::abs(s));
    sum += double(s) * s;
  }
  const double rms = count ? std::sqrt(sum / double(count)) / 32768 : 0;
  // Silence reads the floor rather than minus infinity.
  peakDb_.store(float(peak > 0 ? 20 * std::log10(peak / 32768.0) : kSilenceDb), std::memory_order_relaxed);
  rmsDb_.store(float(rms > 0 ? 20 * std::log10(rms) + kSineRmsDb : kSilenceDb), std::memory_order_relaxed);
  clipped_.store(peak >= 32767, std::memory_order_relaxed);
  blocks_.fetch_add(1, std::memory_order_release);
}

InputLevel InputLevels::Latest() const noexcept {
  const std::uint64_t blocks = blocks_.load(std::memory_order_acquire);
  return {peakDb_.load(std::memory_order_relaxed), rmsDb_.load(std::memory_order_relaxed),
          clipped_.load(std::memory_order_relaxed), blocks};
}

}  // namespace app
