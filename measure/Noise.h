// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// White or pink noise, periodic: one period is built in the frequency
// domain (every bin at its exact magnitude, flat or falling 3 dB per
// octave, with a random phase), transformed back and repeated. Its
// spectrum is therefore exactly what it should be in every period, with
// no averaging, and a measurement that takes whole periods needs no
// window. Pink starts at 10 Hz (nothing below, where it would only move a
// speaker's cone); white covers every bin but DC.
//
// The level is the RMS value over a period, in AES17 dBFS. Noise has
// peaks about four times its RMS value: at high levels the few samples
// beyond full scale are clipped.
#pragma once

#include <cstdint>
#include <vector>

#include "measure/Stimulus.h"

namespace measure {

class Noise : public Stimulus {
 public:
  enum class Colour { White, Pink };

  // period: samples in one period (default 2^18, about 6 s at 44.1 kHz);
  // seconds 0: without end.
  Noise(Colour colour, double dbfs, unsigned rate, double seconds = 0, std::size_t period = 1u << 18,
        std::uint64_t seed = 1);

  std::uint64_t frames() const noexcept override { return frames_; }
  void render(float* out, std::size_t n) noexcept override;
  void rewind() noexcept override { index_ = 0; }
  std::string describe() const override;

  // One period, unclipped.
  const std::vector<float>& period() const noexcept { return period_; }
  Colour colour() const noexcept { return colour_; }

 private:
  Colour colour_;
  double dbfs_;
  std::uint64_t frames_;
  std::vector<float> period_;
  std::uint64_t index_ = 0;
};

}  // namespace measure
