// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Points as the program sends them for a sound card's 16-bit samples.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dsp::test {

// Sample i of a sine of the given peak and frequency at 44100 Hz, rounded
// to 16 bits and held within their range, as a fraction of full scale.
inline double sample16(double peak, double hz, long i) {
  const double n =
      std::round(std::clamp(peak * 32768 * std::sin(2 * std::numbers::pi * hz * double(i) / 44100), -32768.0, 32767.0));
  return n / 32768;
}

}  // namespace dsp::test
