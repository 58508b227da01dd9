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

struct HarmonicAnalysis {
  std::vector<Harmonic> harmonics;  // 2f ... 10f, those inside the frame
  double thd = 0;                   // sqrt(sum of A_n^2) / A_1
  // The harmonics and the noise between 20 Hz and 20 kHz (or the frame's
  // end), as an amplitude ratio to the fundamental.
  double thdPlusNoise = 0;
  // Noise far under the fundamental's leakage cannot be told from it
  // reliably: then thdPlusNoise is only an upper bound (see HarmonicAnalyser::analyse).
  bool thdPlusNoiseIsBound = false;
};

inline constexpr int kHighestHarmonic = 10;

// Keeps its working storage from one frame to the next.
class HarmonicAnalyser {
 public:
  HarmonicAnalysis analyse(const std::vector<double>& magnitudes, const Tone& fundamental, const WindowShape& shape,
                           double binHz);

 private:
  std::vector<double> kernels_;
  std::vector<int> rows_;
  LeastSquares fit_;
};

}  // namespace dsp
