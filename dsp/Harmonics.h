// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The harmonics 2f ... 10f of a fundamental, their levels between bins, THD
// and THD+N.
//
// Harmonics far below the fundamental sit among the fundamental's own
// leakage (a 1 kHz tone leaks about 60 dB down onto 2 kHz, and more onto the
// harmonics of a low tone), and that leakage adds to each harmonic with a
// phase the frame does not carry. Up to the phase ramp all bins share, bin k
// is F_k + sum over n of (c_n K(k - n f) + conj(c_n) K(k + n f)), with the
// fundamental's F_k = c K(k - f) + conj(c) K(k + f) and |c| known from the
// tone fit (see ToneFit). Leaving out the harmonics' products with one
// another (second order), |X_k|^2 - |c|^2 (K(k - f)^2 + K(k + f)^2) is
// linear in Re c^2, in each |c_n|^2 and in Re c_n and Im c_n (scaled by the
// fundamental's phase), and a noise floor adds the same power to every bin.
// One least-squares fit over every bin of the band gives each |c_n| = A_n / 2,
// with the leakage of every other harmonic and of the fundamental accounted
// for, and the noise floor; THD+N is THD with that floor added. For a clean
// tone with harmonics 40 to 80 dB down, THD and THD+N come out within a few
// hundredths of a dB.
//
// What is not read: THD of a fundamental below kLowestFundamentalBins,
// whose harmonics lie within each other's and the fundamental's main lobes
// (one frame's magnitudes cannot part them, and more frames of magnitudes
// do not either); THD with no harmonic in the frame; and THD that is not
// good to half a dB: then only an upper bound. The fit weights each bin by
// the inverse of its power's variance in the noise around the fundamental,
// and what each |c_n|^2 is good to comes from the fit itself: the diagonal
// of (A'WA)^-1, widened by as much as the residual exceeds the noise.
#pragma once

#include "dsp/LeastSquares.h"
#include "dsp/ToneFit.h"
#include "dsp/WindowShape.h"

#include <vector>

namespace dsp {

struct Harmonic {
  int order;         // 2 for 2f, ...
  double bin;        // where it lies, in bins
  double amplitude;  // fraction of full scale
};

// Why a frame has no THD.
enum class NoThd {
  None,               // it has one
  NoTone,             // no fundamental
  FundamentalTooLow,  // below kLowestFundamentalBins
  NoHarmonicInFrame,  // 2f lies beyond the frame
};

struct HarmonicAnalysis {
  std::vector<Harmonic> harmonics;  // 2f ... 10f, those inside the frame
  NoThd why = NoThd::None;          // none of the rest is meaningful unless None
  int highestOrder = 0;             // the harmonics counted: 2f ... highestOrder f
  // sqrt(sum of A_n^2) / A_1, and its standard uncertainty; when three of
  // those are more than half a dB, thdIsBound and thd is an upper bound.
  double thd = 0;
  double thdUncertainty = 0;
  bool thdIsBound = false;
  // The harmonics and the noise between 20 Hz and 20 kHz (or the frame's
  // end), as an amplitude ratio to the fundamental.
  double thdPlusNoise = 0;
  // Noise far under the fundamental's leakage cannot be told from it
  // reliably: then thdPlusNoise is only an upper bound (see HarmonicAnalyser::analyse).
  bool thdPlusNoiseIsBound = false;
};

// The decimals THD in percent is written with: a reading's one unit of the
// last is at least three standard uncertainties; a bound has two
// significant digits (and is rounded up to them).
int thdDecimals(const HarmonicAnalysis& h);

inline constexpr int kHighestHarmonic = 10;
// Below this, in bins, a fundamental's harmonics are not told apart: 4.5
// bins is 97 Hz at 44100 Hz and 2048 points.
inline constexpr double kLowestFundamentalBins = 4.5;

// Keeps its working storage from one frame to the next.
class HarmonicAnalyser {
 public:
  HarmonicAnalysis analyse(const std::vector<double>& magnitudes, const Tone& fundamental, const WindowShape& shape,
                           double binHz);

 private:
  std::vector<double> kernels_;
  std::vector<int> rows_;
  std::vector<double> modelled_;
  LeastSquares fit_;
};

}  // namespace dsp
