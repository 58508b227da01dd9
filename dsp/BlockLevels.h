// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Peak and RMS level of a block of samples as the sound card gives them,
// in dBFS as AES17 has it: the peak relative to full scale, the RMS so that
// a full-scale sine reads 0 dBFS (a square wave at full scale, +3.01).
#pragma once

#include <cstddef>

namespace dsp {

struct BlockLevels {
  double peakDb;
  double rmsDb;
};

// 16-bit signed or 8-bit unsigned samples; `bytes` is the block's byte count.
// An empty or silent block reads -inf.
BlockLevels MeasureBlock(const void* data, std::size_t bytes, bool sixteenBit) noexcept;

}  // namespace dsp
