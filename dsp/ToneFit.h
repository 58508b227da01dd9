// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The strongest tone of a frame, estimated between bins from the exact shape
// the window gives a tone (see WindowShape), not from a parabola.
//
// What a frame holds per bin is the transform's magnitude only, and a real
// tone of amplitude A at f bins shows twice: at +f and, folded, at -f. Up to
// the phase ramp every bin shares, bin k is c K(k - f) + conj(c) K(k + f)
// with |c| = A / 2, so its power is
//   |X_k|^2 = |c|^2 (K(k - f)^2 + K(k + f)^2) + 2 Re(c^2) K(k - f) K(k + f),
// linear in |c|^2 and Re(c^2) once f is fixed. The fit takes the strongest
// local maximum and the two bins either side of it, and for each trial f
// solves those two by least squares; f is the trial that leaves the least
// residual (a coarse scan over the bin, then a golden-section search). For a
// clean tone the model is exact, so frequency and level come out exact to
// rounding, at any offset between bins and whatever the phase. The image
// term matters: left out, a 100 Hz tone would be off by about 0.12 Hz, and
// a 1 kHz tone by 0.01 Hz.
#pragma once

#include "dsp/WindowShape.h"

#include <cmath>
#include <optional>
#include <vector>

namespace dsp {

struct Tone {
  double bin = 0;        // frequency in bins, between bins
  double amplitude = 0;  // peak amplitude as a fraction of full scale

  double hz(double binHz) const { return bin * binHz; }
  // A full-scale sine is 0 dBFS.
  double dbfs() const { return 20 * std::log10(amplitude); }
};

// The transform's bin magnitudes |X_k| behind a frame's value 1. The
// analyser sends a = |X_k| / (N / 2) * 1.85 as a * 100 - 100; 1.85 is close
// to, but not, the window's true correction 2 N / (2 sum w) (1.8526 for
// 2048 points), which is why levels are taken from |X_k| and the window's
// exact gain rather than from a.
void transformMagnitudes(const std::vector<double>& amplitudePercent, int points, std::vector<double>& out);

// The tone behind the strongest local maximum (bins 1 to size - 2); none for
// a frame without one (silence, or a frame with no amplitudes).
std::optional<Tone> strongestTone(const std::vector<double>& magnitudes, const WindowShape& shape);

}  // namespace dsp
