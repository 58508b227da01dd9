// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What one measurement plays and where its parts lie, for the playing and
// for the analysis alike.
//
// A sweep measurement plays half a second of silence (the input's noise is
// read there), then `averages` times an exponential sweep followed by a
// second of silence (the response's tail, and what the next sweep's
// harmonics need before it). The sweep runs an octave below the band and a
// little above it (short of the Nyquist frequency), so that its faded ends
// lie outside what is reported.
//
// A noise measurement plays the same silence, then periodic pink noise for
// one period to settle the device and `averages` more that are analysed
// (at least two: coherence and drift are read between periods), and a
// fifth of a second of silence. A period is 2^16 samples (1.49 s at
// 44.1 kHz), 2^17 above 48 kHz.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "measure/Noise.h"
#include "measure/Stimulus.h"
#include "measure/Sweep.h"

namespace measure {

struct Settings {
  enum class Kind { Sweep, Noise } kind = Kind::Sweep;
  double seconds = 10;  // the sweep's length
  double levelDbfs = -6;
  double fromHz = 20, toHz = 20000;  // the band reported
  int averages = 1;                  // sweeps, or noise periods analysed
  unsigned rate = 44100;
};

class Plan {
 public:
  explicit Plan(const Settings& settings);

  const Settings& settings() const noexcept { return settings_; }
  // The whole signal to play: silence, the stimulus, silence.
  std::unique_ptr<Stimulus> makeStimulus() const;
  // Samples played in all.
  std::uint64_t frames() const noexcept { return frames_; }
  // Where repetition r (a sweep, or a noise period counting the settling
  // one as 0) begins, in samples from the start of the playing.
  std::uint64_t start(int r) const noexcept { return preRoll_ + static_cast<std::uint64_t>(r) * period_; }
  std::uint64_t preRoll() const noexcept { return preRoll_; }
  // Samples from one repetition's start to the next.
  std::uint64_t period() const noexcept { return period_; }
  int repetitions() const noexcept { return repetitions_; }

  // One repetition as played: the sweep, or one period of the noise, as
  // the player's 16-bit samples (clipped at full scale, rounded).
  std::vector<float> body() const;
  // Sweep measurements: the sweep played each time.
  const Sweep* sweep() const noexcept { return sweep_.get(); }
  // Noise measurements: one period of the noise.
  const Noise* noise() const noexcept { return noise_.get(); }
  // What is played, for a user: "logarithmic sweep 10.00 Hz to 21168.00 Hz
  // in 10.00 s at -6.00 dBFS, 1 time".
  std::string describe() const;

 private:
  Settings settings_;
  std::shared_ptr<const Sweep> sweep_;
  std::shared_ptr<const Noise> noise_;
  std::uint64_t preRoll_ = 0, period_ = 0, postRoll_ = 0, frames_ = 0;
  int repetitions_ = 0;
};

}  // namespace measure
