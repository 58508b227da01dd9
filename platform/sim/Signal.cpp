// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sim/Signal.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace platform::sim {

namespace {

// One sample of channel c at frame k, on the 16-bit scale.
std::int16_t Sample16(const Signal& s, const WAVEFORMATEX& f, std::uint64_t k, unsigned c) noexcept {
  switch (s.kind) {
    case Signal::Kind::Silence:
      return 0;
    case Signal::Kind::Sine: {
      // The phase from the frame's position in the period keeps precision
      // over hours of frames.
      const double period = f.nSamplesPerSec / s.frequency;
      const double phase = std::fmod(static_cast<double>(k), period) / period;
      const double v = 32767.0 * s.amplitude * std::sin(2 * std::numbers::pi * phase);
      return static_cast<std::int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, v))));
    }
    case Signal::Kind::Counter: {
      const auto v = static_cast<std::uint16_t>(k);
      return static_cast<std::int16_t>(c == 0 ? v : static_cast<std::uint16_t>(~v));
    }
    case Signal::Kind::Samples: {
      const std::size_t n = s.samples.size();
      const std::uint64_t i = k * f.nChannels + c;
      if (n == 0 || (!s.loop && i >= n)) return 0;
      return s.samples[i % n];
    }
  }
  return 0;
}

BYTE Sample8(const Signal& s, const WAVEFORMATEX& f, std::uint64_t k, unsigned c) noexcept {
  if (s.kind == Signal::Kind::Counter) {
    const auto v = static_cast<BYTE>(k);
    return c == 0 ? v : static_cast<BYTE>(255 - v);
  }
  return static_cast<BYTE>((Sample16(s, f, k, c) + 32768) >> 8);
}

}  // namespace

void RenderSignal(const Signal& signal, const WAVEFORMATEX& format, std::uint64_t first, BYTE* dst,
                  std::size_t frames) noexcept {
  const unsigned channels = format.nChannels;
  const bool wide = format.wBitsPerSample == 16;
  for (std::uint64_t k = first; k < first + frames; ++k) {
    for (unsigned c = 0; c < channels; ++c) {
      if (wide) {
        const std::int16_t v = Sample16(signal, format, k, c);
        std::memcpy(dst, &v, 2);  // little-endian host, as the records
        dst += 2;
      } else {
        *dst++ = Sample8(signal, format, k, c);
      }
    }
  }
}

}  // namespace platform::sim
