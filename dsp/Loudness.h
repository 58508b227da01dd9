// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Loudness as EBU R128 measures it (ITU-R BS.1770: K-weighting, gating):
// integrated loudness in LUFS, loudness range in LU, and each channel's true
// peak in dBTP (the peak of the signal between samples, found by
// oversampling four times below 96 kHz). libebur128 does the measuring; it
// is well kept and checked against the standard's test signals, and a
// loudness meter is only worth its name when it agrees with the others.
//
// The channels are weighted as the standard says for the usual order of a
// file (L, R, C, LFE, Ls, Rs: the LFE does not count, the surrounds count
// 1.41 times); a seventh channel and later ones count once. One channel
// alone is measured as a mono programme.
//
// The true peak costs most of the time (libebur128 oversamples every
// channel), and is a channel's own: a meter may measure only the
// programme's loudness, or only true peaks, so that the parts can be
// measured side by side on separate threads.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

namespace dsp {

class Loudness {
 public:
  enum Parts { kProgramme = 1, kTruePeak = 2, kAll = kProgramme | kTruePeak };
  // Null when libebur128 cannot be set up for this many channels and rate.
  static std::unique_ptr<Loudness> create(int channels, long rate, Parts parts = kAll);
  ~Loudness();
  Loudness(const Loudness&) = delete;
  Loudness& operator=(const Loudness&) = delete;

  int channels() const { return channels_; }
  // `count` frames of channels() interleaved samples, full scale at 1.
  void push(const float* frames, size_t count);

  // None while no 400 ms block is above the gates (silence, a span too
  // short), as for the range, which needs 3 s blocks; none without the
  // programme part.
  std::optional<double> integratedLufs() const;
  std::optional<double> rangeLu() const;
  // None for a channel that was silent throughout, and without the true peak part.
  std::optional<double> truePeakDbtp(int channel) const;

 private:
  struct Meter;  // libebur128's state, whose type is declared only with it
  Loudness(Meter* meter, int channels) : meter_(meter), channels_(channels) {}

  Meter* meter_;
  int channels_;
};

}  // namespace dsp
