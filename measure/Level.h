// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Levels in dBFS as AES17 defines them: the RMS value against that of a
// full-scale sine, so a full-scale sine is 0 dBFS, a full-scale square
// +3.01 dBFS, and noise is read by its RMS value as a sine would be.
// Samples are fractions of full scale (1.0 is 32768 at 16 bits).
#pragma once

#include <cmath>
#include <numbers>

namespace measure {

// The peak of a sine at `dbfs`.
inline double SinePeak(double dbfs) { return std::pow(10.0, dbfs / 20); }
// The RMS value of any signal at `dbfs`.
inline double RmsOf(double dbfs) { return std::pow(10.0, dbfs / 20) / std::numbers::sqrt2; }
// The level of a signal whose RMS value is `rms`.
inline double DbfsOfRms(double rms) { return 20 * std::log10(rms * std::numbers::sqrt2); }

}  // namespace measure
