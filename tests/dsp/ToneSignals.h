// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Signals with known levels for the level meter's and the bands' tests, and
// the level of a tone read back by a least-squares fit.
#pragma once

#include "dsp/LeastSquares.h"
#include "dsp/RealFft.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <numbers>
#include <vector>

namespace dsp::test {

// A sum of sines: frequency in Hz and peak amplitude (full scale 1).
struct Partial {
  double hz, amplitude;
};

inline std::vector<float> tones(const std::vector<Partial>& partials, double rate, double seconds) {
  std::vector<float> x(std::size_t(std::lround(seconds * rate)));
  for (std::size_t p = 0; p < partials.size(); ++p) {
    // A rotating phasor, re-seeded now and then so that rounding does not
    // pile up; each partial starts at its own phase.
    const double w = 2 * std::numbers::pi * partials[p].hz / rate, phase = 2.399963 * double(p);
    for (std::size_t i = 0; i < x.size(); i += 4096) {
      double c = std::cos(w * double(i) + phase), s = std::sin(w * double(i) + phase);
      const double dc = std::cos(w), ds = std::sin(w);
      for (std::size_t j = i; j < std::min(x.size(), i + 4096); ++j) {
        x[j] += float(partials[p].amplitude * s);
        const double c2 = c * dc - s * ds;
        s = s * dc + c * ds;
        c = c2;
      }
    }
  }
  return x;
}

inline std::vector<float> sine(double hz, double amplitude, double rate, double seconds) {
  return tones({{hz, amplitude}}, rate, seconds);
}

// The peak amplitude of the tone of `hz` in x[from, to), by a least-squares
// fit of a sine, a cosine and an offset: exact whatever the number of cycles.
inline double fittedAmplitude(const double* x, std::size_t from, std::size_t to, double hz, double rate) {
  LeastSquares fit(to - from, 3);
  const double w = 2 * std::numbers::pi * hz / rate;
  for (std::size_t i = from; i < to; ++i) {
    fit.at(i - from, 0) = std::cos(w * double(i));
    fit.at(i - from, 1) = std::sin(w * double(i));
    fit.at(i - from, 2) = 1;
    fit.target(i - from) = x[i];
  }
  fit.solve();
  return std::hypot(fit.solution()[0], fit.solution()[1]);
}

// One period of `seconds` of pink sound: a sine at every frequency on the
// grid of 1 / seconds from `lowHz` to `highHz`, each at its own phase, with
// power falling as 1 / f, so that bands of the same relative width hold the
// same power: a band from f1 to f2 holds powerPerNeper ln(f2 / f1) (as a
// mean square). Repeated, it is steady: over whole periods no two of its
// sines beat.
inline std::vector<float> pinkPeriod(double rate, double seconds, double lowHz, double highHz, double& powerPerNeper) {
  const int n = int(std::lround(rate * seconds));
  const std::unique_ptr<InverseRealFft> inverse = InverseRealFft::create(n);
  std::fill(inverse->input(), inverse->input() + inverse->bins(), std::complex<float>(0));
  // A sine of amplitude a is two bins of a / 2 (the inverse adds the
  // mirrored half); its power a^2 / 2 falls as 1 / f. Phases quadratic in k
  // keep the crest low.
  const double scale = 0.02;  // the amplitude of the bin at 1 Hz
  for (int k = 1; k < n / 2; ++k) {
    const double hz = k / seconds;
    if (hz < lowHz || hz > highHz) continue;
    const double a = scale / std::sqrt(hz), phi = 2 * std::numbers::pi * std::fmod(0.6180339887 * k * k, 1.0);
    inverse->input()[k] = std::complex<float>(std::polar(a / 2, phi));
  }
  // a^2 / 2 per bin, 1 / seconds Hz apart: (scale^2 / 2) / f per Hz, which
  // is scale^2 seconds / 2 per neper of frequency.
  powerPerNeper = scale * scale / 2 * seconds;
  inverse->execute();
  return std::vector<float>(inverse->output(), inverse->output() + n);
}

}  // namespace dsp::test
