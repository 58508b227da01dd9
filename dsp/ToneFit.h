// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The strongest tone of a frame, estimated between bins from the exact shape
// the window gives a tone (see WindowShape), not from a parabola; or, when
// the frame holds no tone that can be read, why not.
//
// What a frame holds per bin is the transform's magnitude only, and a real
// tone of amplitude A at f bins shows twice: at +f and, folded, at -f. Up to
// the phase ramp every bin shares, bin k is c K(k - f) + conj(c) K(k + f)
// with |c| = A / 2, so its power is
//   |X_k|^2 = |c|^2 (K(k - f)^2 + K(k + f)^2) + 2 Re(c^2) K(k - f) K(k + f),
// linear in |c|^2 and Re(c^2) once f is fixed. Near 0 Hz a DC offset D adds
// D K(k) to every bin, and with it D^2 K(k)^2 + 2 D Re(c) K(k) (K(k - f) +
// K(k + f)) to the power: two more unknowns, linear too. The fit takes the
// strongest local maximum and the bins either side of it (from bin 0 near
// 0 Hz), and for each trial f solves for those by least squares; f is the
// trial that leaves the least residual (a coarse scan over the bin, then a
// search by Brent's method). For a clean tone the model is exact, so frequency
// and level come out exact to rounding, at any offset between bins and
// whatever the phase. The image term matters: left out, a 100 Hz tone would
// be off by about 0.12 Hz, and a 1 kHz tone by 0.01 Hz.
//
// What the fit is good to follows from the noise and from how well the
// model fits. Each bin's power carries the noise floor P around it as a
// variance of 2 |X_k|^2 P + P^2; P is what the model leaves in the bins
// around the tone, and the fit weights each bin by the inverse of that
// variance. The covariance of the fit, linearised about its result and
// widened by as much as the residual exceeds the noise, gives the standard
// uncertainty of the frequency and of the level; a second valley of the
// residual nearly as deep (a low tone near a whole bin) widens the first by
// their distance. Below 2.5 bins, where a tone's image and second harmonic
// lie inside its main lobe and bend the fit more than its residual shows,
// it is taken as good to 0.005 bin and 0.05 dB at best. A tone is not read
// when its strongest bin is not well above the floor around it (a noise
// peak), nor when it is not good to 0.04 bin and 1 dB (three standard
// uncertainties): then the bins around it are not one tone (two tones
// closer than the window resolves, a side lobe of something stronger below
// the lowest bin).
#pragma once

#include "dsp/WindowShape.h"

#include <cmath>
#include <optional>
#include <vector>

namespace dsp {

struct Tone {
  double bin = 0;        // frequency in bins, between bins
  double amplitude = 0;  // peak amplitude as a fraction of full scale
  // Standard uncertainties of bin and of dbfs().
  double binUncertainty = 0;
  double dbUncertainty = 0;
  // The noise around it: power a bin, in the transform's units (|X_k|^2).
  double floorPower = 0;

  double hz(double binHz) const { return bin * binHz; }
  // A full-scale sine is 0 dBFS.
  double dbfs() const { return 20 * std::log10(amplitude); }
  // Decimals the frequency in Hz and the level in dB are good to: one unit
  // of the last is at least three standard uncertainties (at most 2).
  int hzDecimals(double binHz) const;
  int dbDecimals() const;
};

// Why a frame has no tone to read.
enum class NoTone {
  None,        // it has one
  Silence,     // no bin stands above another
  InNoise,     // the strongest peak is not above the noise around it
  NotOneTone,  // the bins around it are not the shape of one tone
  AtZeroHz,    // the strongest bin is bin 0: DC, or a tone below one bin
};

struct ToneReading {
  std::optional<Tone> tone;
  NoTone why = NoTone::None;
};

// The transform's bin magnitudes |X_k| behind a frame's value 1. The
// analyser sends a = |X_k| / (N / 2) * 1.85 as a * 100 - 100; 1.85 is close
// to, but not, the window's true correction 2 N / (2 sum w) (1.8526 for
// 2048 points), which is why levels are taken from |X_k| and the window's
// exact gain rather than from a.
void transformMagnitudes(const std::vector<double>& amplitudePercent, int points, std::vector<double>& out);

// The tone behind the strongest local maximum (bins 1 to size - 2).
ToneReading strongestTone(const std::vector<double>& magnitudes, const WindowShape& shape);

}  // namespace dsp
