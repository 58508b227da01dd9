// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Sine sweeps from one frequency to another: linear (the frequency rises
// by equal steps of hertz per second) or exponential (by equal fractions
// of an octave per second, the sweep a measurement deconvolves).
//
// The exponential sweep is the synchronised one: x(t) = sin(2 pi f1 L
// e^(t/L)) with L = round(f1 T / ln(f2/f1)) / f1, so that every harmonic's
// response, once deconvolved, sits exactly L ln(k) before the linear one
// with no phase of its own; its length is therefore L ln(f2/f1), within
// ln(f2/f1) / (2 f1) seconds of the length asked for. Both ends are faded with half a Hann
// window so that the sweep starts and stops without a click; the fades
// cover the edges of its range, which is why a measurement sweeps beyond
// the band it reports.
#pragma once

#include <cstdint>

#include "measure/Stimulus.h"

namespace measure {

class Sweep : public Stimulus {
 public:
  enum class Law { Linear, Exponential };

  // fadeIn / fadeOut: seconds at each end (default: a 20th of the length,
  // at most 50 ms; at least one sample each).
  Sweep(Law law, double fromHz, double toHz, double seconds, double dbfs, unsigned rate, double fadeIn = -1,
        double fadeOut = -1);

  std::uint64_t frames() const noexcept override { return frames_; }
  void render(float* out, std::size_t n) noexcept override;
  void rewind() noexcept override { index_ = 0; }
  std::string describe() const override;

  Law law() const noexcept { return law_; }
  double fromHz() const noexcept { return f1_; }
  double toHz() const noexcept { return f2_; }
  double dbfs() const noexcept { return dbfs_; }
  unsigned rate() const noexcept { return rate_; }
  // Exponential: L, the seconds in which the frequency rises by a factor e.
  double rateConstant() const noexcept { return l_; }
  // The frequency at `seconds` from the start.
  double frequencyAt(double seconds) const noexcept;

 private:
  double sample(std::uint64_t k) const noexcept;

  Law law_;
  double f1_, f2_, dbfs_;
  unsigned rate_;
  double l_ = 0;         // exponential: L
  double duration_ = 0;  // seconds
  std::uint64_t frames_;
  double fadeIn_, fadeOut_;  // samples
  double amplitude_;
  std::uint64_t index_ = 0;
};

}  // namespace measure
