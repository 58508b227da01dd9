// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The levels of a signal in octave or fractional-octave bands (OctaveBands),
// from a bank of band-pass filters that meets the class 1 acceptance limits
// of IEC 61260-1 (tests/dsp/OctaveFilterBankTest.cpp checks every band at
// every breakpoint of the limits).
//
// Each band is a Butterworth band-pass of order 3 (three second-order
// sections: the low-pass prototype's poles carried to the band, then through
// the bilinear transform with the edges pre-warped, so that the digital
// filter has exactly the prototype's shape on a warped frequency axis and a
// gain of exactly 1 at its centre). Its bandwidth is narrowed from the
// nominal edges by a factor, the same for every band of a kind, that makes
// its effective bandwidth on a logarithmic frequency axis exactly the
// nominal one (about 2 %): pink noise, equal power in every band, then reads
// the same level in each.
//
// Multirate: every band runs at four to eight times its upper edge, where
// the warping leaves its skirts within the limits, its poles sit well inside
// the unit circle and the low bands cost next to nothing. The top octave
// runs at twice the input's rate (half-band interpolation, flat to 0.4535
// of the input's rate, which is as far as bands go), each octave below at
// half the rate of the one above (half-band decimation, flat within
// 0.0002 dB where the bands are and 95 dB down where it would alias into
// them).
//
// A band's Leq is its output's energy over the input's duration; flush()
// lets what the filters still hold come out first, so that the level of a
// sound that ends with the input (a file) is whole: the narrow low bands
// ring for seconds.
#pragma once

#include "dsp/Biquad.h"
#include "dsp/FrequencyWeighting.h"
#include "dsp/HalfBand.h"
#include "dsp/OctaveBands.h"
#include "dsp/TimeWeighting.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dsp {

class OctaveFilterBank {
 public:
  // `bandsPerOctave`: 1, 3, 6, 12 or 24 (anything else: no bands). The
  // signal is frequency-weighted first; each band's L follows `time`.
  OctaveFilterBank(int bandsPerOctave, double rate, Weighting weighting = Weighting::Z,
                   TimeWeighting time = TimeWeighting::Fast);
  ~OctaveFilterBank();
  OctaveFilterBank(const OctaveFilterBank&) = delete;
  OctaveFilterBank& operator=(const OctaveFilterBank&) = delete;

  int bandsPerOctave() const { return bandsPerOctave_; }
  double rate() const { return rate_; }
  Weighting weighting() const { return weighting_.weighting(); }
  const std::vector<OctaveBand>& bands() const { return bands_; }

  // Samples as fractions of full scale. No allocation.
  void process(const float* samples, std::size_t n) noexcept;
  // The input has ended: the filters run on in silence until what they
  // hold has come out (their energy counts, their time does not).
  void flush();
  // The Leq from here; the filters keep what they hold.
  void restart() noexcept;

  // In dBFS (AES17: a full-scale sine in the band reads 0 dBFS); NaN
  // before any input, -infinity for silence.
  double leqDb(std::size_t band) const;
  double levelDb(std::size_t band) const;  // time-weighted, now
  // The designed response of a band at `hz`, in dB: its filter's, the
  // decimators' before it, and the weighting's.
  double responseDb(std::size_t band, double hz) const;

 private:
  struct Band;
  struct Stage;
  void runInput(const float* samples, std::size_t n) noexcept;
  void runStage(std::size_t k, const double* in, std::size_t n) noexcept;

  int bandsPerOctave_;
  double rate_;
  std::vector<OctaveBand> bands_;
  WeightingFilter weighting_;
  bool upsample_ = false;  // the weighted signal doubled for the top stage
  Upsampler2 upsampler_;
  std::vector<double> weighted_;  // the top stage's input
  std::vector<std::unique_ptr<Stage>> stages_;
  std::vector<Band*> byBand_;   // the band's filter, in bands_ order
  std::uint64_t measured_ = 0;  // input samples since restart
  bool any_ = false;
};

}  // namespace dsp
