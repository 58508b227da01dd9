// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/Signals.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace quorvel_test {

using namespace platform;

WAVEFORMATEX PcmFormat(unsigned channels, unsigned bits, unsigned rate) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, static_cast<WORD>(channels), rate, rate * align, align, static_cast<WORD>(bits), 0};
}

std::vector<std::int16_t> CounterSignal(std::size_t frames, std::int16_t start) {
  std::vector<std::int16_t> s(frames);
  for (std::size_t i = 0; i < frames; ++i) s[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(start + i));
  return s;
}

std::vector<std::int16_t> SineSignal(std::size_t frames, unsigned rate, double hz, double amplitude,
                                     unsigned channels) {
  std::vector<std::int16_t> s(frames * channels);
  for (std::size_t i = 0; i < frames; ++i) {
    const double v = amplitude * 32767.0 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate);
    for (unsigned c = 0; c < channels; ++c) s[i * channels + c] = static_cast<std::int16_t>(std::lround(v));
  }
  return s;
}

std::vector<std::uint8_t> ToneBytes(const WAVEFORMATEX& format, double seconds, double hz,
                                    const std::vector<double>& amplitudes) {
  const auto frames = static_cast<std::size_t>(seconds * format.nSamplesPerSec);
  std::vector<std::uint8_t> out;
  out.reserve(frames * format.nBlockAlign);
  for (std::size_t i = 0; i < frames; ++i) {
    const double s = std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / format.nSamplesPerSec);
    for (std::size_t c = 0; c < format.nChannels; ++c) {
      const double v = amplitudes[c] * s;
      if (format.wBitsPerSample == 8) {
        out.push_back(static_cast<std::uint8_t>(std::lround(128 + 127 * v)));
      } else {
        const auto x = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32767 * v)));
        out.push_back(static_cast<std::uint8_t>(x & 0xFF));
        out.push_back(static_cast<std::uint8_t>(x >> 8));
      }
    }
  }
  return out;
}

double Rms(const std::int16_t* s, std::size_t n, std::size_t stride) {
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += static_cast<double>(s[i * stride]) * s[i * stride];
  return std::sqrt(sum / static_cast<double>(n));
}

std::optional<std::size_t> LastLoud(const std::vector<std::int16_t>& s, int loud) {
  for (std::size_t i = s.size(); i-- > 0;)
    if (std::abs(s[i]) >= loud) return i;
  return std::nullopt;
}

std::optional<Alignment> Align(const std::vector<std::int16_t>& got, const std::vector<std::int16_t>& played,
                               std::size_t skip) {
  constexpr std::size_t kSearch = 256;
  const std::optional<std::size_t> gotLast = LastLoud(got), playedLast = LastLoud(played);
  if (!gotLast || !playedLast || *gotLast < *playedLast + kSearch) return std::nullopt;
  const std::size_t rough = *gotLast - *playedLast;
  double playedEnergy = 0;
  for (std::size_t i = skip; i < played.size(); ++i) playedEnergy += static_cast<double>(played[i]) * played[i];
  std::optional<Alignment> best;
  for (std::size_t offset = rough - kSearch; offset <= rough + kSearch; ++offset) {
    if (offset + played.size() > got.size()) break;
    double cross = 0, gotEnergy = 0;
    for (std::size_t i = skip; i < played.size(); ++i) {
      const double g = got[offset + i];
      cross += g * played[i];
      gotEnergy += g * g;
    }
    if (gotEnergy == 0) continue;
    const double c = cross / std::sqrt(playedEnergy * gotEnergy);
    if (!best || c > best->correlation) best = Alignment{offset, c};
  }
  return best;
}

}  // namespace quorvel_test
