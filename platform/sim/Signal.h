// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the simulated device captures: silence, a sine, a counter ramp or
// the test's own samples, rendered into any of the PCM formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Types.h"

namespace platform::sim {

struct Signal {
  enum class Kind { Silence, Sine, Counter, Samples } kind = Kind::Silence;
  double frequency = 1000;            // Sine: Hz
  double amplitude = 1;               // Sine: fraction of full scale
  std::vector<std::int16_t> samples;  // Samples: interleaved, one per channel per frame
  bool loop = true;                   // Samples: start again at the end (else silence follows)

  static Signal Silence() { return {}; }
  static Signal Sine(double hz, double amplitude) { return {Kind::Sine, hz, amplitude, {}, true}; }
  // Frame k holds k as a 16-bit value (k mod 256 at 8 bits) on the left
  // channel and its complement (~k, 255 - k) on the right, so that a lost,
  // repeated or swapped frame shows on either channel.
  static Signal Counter() { return {Kind::Counter, 0, 0, {}, true}; }
  static Signal Of(std::vector<std::int16_t> s) { return {Kind::Samples, 0, 0, std::move(s), true}; }
  static Signal Once(std::vector<std::int16_t> s) { return {Kind::Samples, 0, 0, std::move(s), false}; }
};

// Writes frames [first, first + frames) of the signal into dst in the
// format (PCM, 1 or 2 channels, 8 or 16 bits). 8-bit output is the 16-bit
// value's high byte, offset to unsigned (-32768 -> 0, 0 -> 128); the
// counter is the exception, as described above. Allocates nothing.
void RenderSignal(const Signal& signal, const WAVEFORMATEX& format, std::uint64_t first, BYTE* dst,
                  std::size_t frames) noexcept;

}  // namespace platform::sim
