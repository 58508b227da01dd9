// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Band levels as the exports write them (quorvel-analyse's
// <stem>-ch<N>-bands.csv, the Levels window's Copy): lines that say how
// they were taken, then one row per band, its exact mid-band frequency in Hz
// and its Leq, in dB SPL when calibrated and dBFS when not, to 0.01 dB;
// "none" for a band that held nothing at all.
#pragma once

#include "dsp/Calibration.h"
#include "dsp/OctaveFilterBank.h"

#include <string>
#include <utility>
#include <vector>

namespace dsp {

std::string bandsCsv(const OctaveFilterBank& bank, const Calibration& calibration);
// The rows alone: each band's mid-band frequency and level as text.
std::vector<std::pair<std::string, std::string>> bandRows(const OctaveFilterBank& bank, const Calibration& calibration);

}  // namespace dsp
