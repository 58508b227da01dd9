// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/InputLevels.h"

#include <cmath>

#include "dsp/BlockLevels.h"

namespace app {

namespace {
// The level of a sample at either 16-bit limit, 32767 / 32768.
const double kFullScaleDb = 20 * std::log10(32767.0 / 32768.0);
}  // namespace

void InputLevels::Measure(const void* samples, std::size_t count) noexcept {
  const dsp::BlockLevels block = dsp::MeasureBlock(samples, 2 * count, true);
  // Silence reads the floor rather than minus infinity.
  peakDb_.store(float(std::isfinite(block.peakDb) ? block.peakDb : kSilenceDb), std::memory_order_relaxed);
  // The block's RMS is already in dBFS as AES17 has it (a full-scale sine at 0).
  rmsDb_.store(float(std::isfinite(block.rmsDb) ? block.rmsDb : kSilenceDb), std::memory_order_relaxed);
  clipped_.store(block.peakDb >= kFullScaleDb, std::memory_order_relaxed);
  blocks_.fetch_add(1, std::memory_order_release);
}

InputLevel InputLevels::Latest() const noexcept {
  const std::uint64_t blocks = blocks_.load(std::memory_order_acquire);
  return {peakDb_.load(std::memory_order_relaxed), rmsDb_.load(std::memory_order_relaxed),
          clipped_.load(std::memory_order_relaxed), blocks};
}

}  // namespace app
