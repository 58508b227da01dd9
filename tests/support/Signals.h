// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Test signals and what is measured on them: formats, a counter, sines,
// levels, and where a played signal lies in what came back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Types.h"

namespace quorvel_test {

platform::WAVEFORMATEX PcmFormat(unsigned channels, unsigned bits, unsigned rate = 44100);

// Samples of a counter: sample i is (start + i) as a 16-bit value, wrapping.
std::vector<std::int16_t> CounterSignal(std::size_t frames, std::int16_t start = 0);
// A sine of `hz` at `amplitude` of full scale, `channels` times interleaved.
std::vector<std::int16_t> SineSignal(std::size_t frames, unsigned rate, double hz, double amplitude,
                                     unsigned channels = 1);
// A sine of `hz` in the format's bytes (8-bit unsigned or 16-bit
// little-endian), channel c at amplitudes[c] of full scale.
std::vector<std::uint8_t> ToneBytes(const platform::WAVEFORMATEX& format, double seconds, double hz,
                                    const std::vector<double>& amplitudes);

// The RMS of n samples taken `stride` apart.
double Rms(const std::int16_t* s, std::size_t n, std::size_t stride = 1);
// The index of the last sample at or above `loud` in magnitude.
std::optional<std::size_t> LastLoud(const std::vector<std::int16_t>& s, int loud = 4000);

// Where `played` best lines up in `got`: the offset of played[0] and the
// normalised cross-correlation there. The last loud samples give the rough
// place; the lags around it are searched over all of `played` but its first
// `skip` samples (the sound server's monitor may miss a stream's first
// moments).
struct Alignment {
  std::size_t offset = 0;
  double correlation = 0;
};
std::optional<Alignment> Align(const std::vector<std::int16_t>& got, const std::vector<std::int16_t>& played,
                               std::size_t skip);

}  // namespace quorvel_test
