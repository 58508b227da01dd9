// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One spectrum frame's bins, both values as the analyser sends them.
#pragma once

#include <vector>

namespace dsp {

struct FrameBins {
  std::vector<double> levels;      // value 0: level in dB of a full-scale sine
  std::vector<double> amplitudes;  // value 1: amplitude in percent of full scale, minus 100
  void clear() { levels.clear(), amplitudes.clear(); }
};

}  // namespace dsp
