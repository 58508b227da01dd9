// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/ColourMap.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace dsp {

namespace {

// A perceptual map of the magma kind, as a sixth-degree polynomial per
// channel fitted to it, tabulated at 256 steps.
std::array<std::uint32_t, 256> makeColours() {
  static constexpr double c[7][3] = {{-0.002136485053939582, -0.000749655052795221, -0.005386127855323933},
                                     {0.2516605407371642, 0.6775232436837668, 2.494026599312351},
                                     {8.353717279216625, -3.577719514958484, 0.3144679030132573},
                                     {-27.66873308576866, 14.26473078096533, -13.64921318813922},
                                     {52.17613981234068, -27.94360607168351, 12.94416944238394},
                                     {-50.76852536473588, 29.04658282127291, 4.23415299384598},
                                     {18.65570506591883, -11.48977351997711, -5.601961508734096}};
  std::array<std::uint32_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    const double t = i / 255.0;
    std::uint32_t rgb = 0xff;
    for (int ch = 0; ch < 3; ++ch) {
      double v = 0;
      for (int d = 6; d >= 0; --d) v = v * t + c[d][ch];
      rgb = rgb << 8 | std::uint32_t(std::clamp(int(std::lround(v * 255)), 0, 255));
    }
    table[size_t(i)] = rgb;
  }
  return table;
}

}  // namespace

std::uint32_t levelColour(double t) {
  static const std::array<std::uint32_t, 256> table = makeColours();
  return table[size_t(std::clamp(int(t * 255 + 0.5), 0, 255))];
}

}  // namespace dsp
