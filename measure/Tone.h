// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Steady tones: a sine, a square and a tone burst (a sine switched on for
// a number of whole cycles and off for a number more, at its zero
// crossings). Frequencies are held to 0.01 Hz and the phase is worked out
// from the sample index in integers, so a tone stays exact over any length
// of time. The square is band-limited (its edges smoothed by a polynomial
// step, PolyBLEP), so it does not fold back above the Nyquist frequency.
// Levels are AES17 dBFS (Level.h): a sine at 0 dBFS peaks at full scale,
// a square at 0 dBFS at 0.707 of it.
#pragma once

#include <cstdint>

#include "measure/Stimulus.h"

namespace measure {

class Tone : public Stimulus {
 public:
  enum class Shape { Sine, Square, Burst };

  // `seconds` 0: without end. Burst: `onCycles` cycles of the sine, then
  // `offCycles` of silence, over and over.
  Tone(Shape shape, double hz, double dbfs, unsigned rate, double seconds = 0, unsigned onCycles = 10,
       unsigned offCycles = 90);

  std::uint64_t frames() const noexcept override { return frames_; }
  void render(float* out, std::size_t n) noexcept override;
  void rewind() noexcept override { index_ = 0; }
  std::string describe() const override;

  // The frequency held, in hundredths of a hertz.
  std::int64_t centiHz() const noexcept { return centiHz_; }

 private:
  Shape shape_;
  std::int64_t centiHz_;
  double dbfs_;
  unsigned rate_;
  double amplitude_;
  std::uint64_t frames_;
  unsigned on_, off_;
  std::uint64_t index_ = 0;
};

}  // namespace measure
