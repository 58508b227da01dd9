// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Octave and fractional-octave bands in base ten (IEC 61260-1): with
// G = 10^(3/10), the bands of 1/b octave have their exact mid-band
// frequencies at 1000 G^(x/b) Hz for odd b and 1000 G^((2x + 1) / (2b)) Hz
// for even b (x a whole number), and their edges at G^(-1/(2b)) and
// G^(1/(2b)) times that.
#pragma once

#include "dsp/HalfBand.h"

#include <string>
#include <vector>

namespace dsp {

struct OctaveBand {
  double midHz, lowHz, highHz;
};

// 1, 3, 6, 12 or 24.
bool isBandsPerOctave(int bandsPerOctave);

// The bands of 1/b octave that lie between 11.2 Hz and 22.4 kHz (together
// they cover what the third-octave bands 12.5 Hz to 20 kHz cover), lowest
// first, less those whose mid-band frequency is above kTopOfBands of `rate`
// (19.999 kHz at 44.1 kHz): a converter's own anti-alias filter is flat only
// up to about there, and so are the filters here. A band that reaches past
// the Nyquist frequency holds what lies below it.
inline constexpr double kTopOfBands = 2 * HalfBandKernel::kFlatFraction;
std::vector<OctaveBand> octaveBands(int bandsPerOctave, double rate);

// The band's name as a scale shows it: the nominal mid-band frequency
// (IEC 61260-1, Annex E) for octave and third-octave bands ("31.5", "1k",
// "12.5k"), three significant digits of the exact one otherwise.
std::string bandLabel(const OctaveBand& band, int bandsPerOctave);

}  // namespace dsp
