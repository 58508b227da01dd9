// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The input's level, block by block, on its way from the block handler (on
// the device's thread) to the windows that show it (on the GUI thread):
// atomics only, so the handler never waits for a window.
//
// Levels are dBFS as AES17 gives them: the peak is 20 log10 of the largest
// magnitude (full scale n / 32768), and the RMS is 20 log10 of the RMS value
// plus 3.01 dB, so that a full-scale sine reads 0 dBFS on both.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace app {

struct InputLevel {
  double peakDb;
  double rmsDb;
  bool clipped;         // a sample at either 16-bit limit
  std::uint64_t block;  // how many blocks were measured before this one; 0: none yet
};

class InputLevels {
 public:
  // Device thread: one block of `count` 16-bit samples. No allocation, no lock.
  void Measure(const void* samples, std::size_t count) noexcept;
  // Any thread: the latest block's levels.
  InputLevel Latest() const noexcept;

 private:
  std::atomic<float> peakDb_{-1000}, rmsDb_{-1000};
  std::atomic<bool> clipped_{false};
  // Written last, read first: a reader that sees a new count sees at least
  // that block's levels (or, while the next is being written, some of the
  // next one's: harmless for a meter).
  std::atomic<std::uint64_t> blocks_{0};
};

// The level of the smallest sample that counts: one step of 16 bits.
inline constexpr double kSilenceDb = -96.3;

}  // namespace app
