// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/OctaveBands.h"

#include "dsp/NumberText.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace dsp {

namespace {

const double kG = std::pow(10.0, 0.3);
// The span in powers of G from 1 kHz: 11.2 Hz to 22.4 kHz.
constexpr double kLowestEdge = -6.5, kHighestEdge = 4.5;

std::string shortHz(double hz, int decimals) {
  std::string s = hz >= 1000 ? fixedText(hz / 1000, decimals) + 'k' : fixedText(hz, decimals);
  // "1.00k" is "1k", "31.5" stays.
  if (s.find('.') != std::string::npos) {
    const bool kilo = s.back() == 'k';
    if (kilo) s.pop_back();
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (kilo) s += 'k';
  }
  return s;
}

}  // namespace

bool isBandsPerOctave(int b) { return b == 1 || b == 3 || b == 6 || b == 12 || b == 24; }

std::vector<OctaveBand> octaveBands(int b, double rate) {
  std::vector<OctaveBand> bands;
  if (!isBandsPerOctave(b)) return bands;
  const double half = 1.0 / (2 * b);
  // Mid-band exponents (of G) are x / b, or (2x + 1) / (2b) for even b:
  // in halves of a band, 2x or 2x + 1.
  const int odd = b % 2 == 0 ? 1 : 0;
  for (int x = int(std::floor(kLowestEdge * b)) - 1; x <= int(std::ceil(kHighestEdge * b)) + 1; ++x) {
    const double exponent = (2.0 * x + odd) / (2 * b);
    // Edges compared in whole halves of a band, free of rounding.
    if (2 * x + odd - 1 < std::lround(kLowestEdge * 2 * b) || 2 * x + odd + 1 > std::lround(kHighestEdge * 2 * b))
      continue;
    const double mid = 1000 * std::pow(kG, exponent);
    if (mid > kTopOfBands * rate) continue;
    bands.push_back({mid, mid * std::pow(kG, -half), mid * std::pow(kG, half)});
  }
  return bands;
}

std::string bandLabel(const OctaveBand& band, int b) {
  if (b == 1 || b == 3) {
    // The nominal frequencies are the R10 series: 1, 1.25, 1.6, 2, 2.5,
    // 3.15, 4, 5, 6.3, 8 times a power of ten.
    static constexpr std::array<double, 10> kR10{1, 1.25, 1.6, 2, 2.5, 3.15, 4, 5, 6.3, 8};
    const long tenth = std::lround(10 * std::log10(band.midHz));  // third-octave steps from 1 Hz
    const long decade = tenth >= 0 ? tenth / 10 : (tenth - 9) / 10;
    const double nominal = kR10[size_t(tenth - 10 * decade)] * std::pow(10.0, double(decade));
    return shortHz(nominal, 2);
  }
  const double digits = std::floor(std::log10(band.midHz >= 1000 ? band.midHz / 1000 : band.midHz));
  return shortHz(band.midHz, std::max(0, 2 - int(digits)));
}

}  // namespace dsp
