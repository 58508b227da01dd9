// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A measurement's files, written the same way by the command line and the
// Measure window:
//   response.csv    "# name: value" lines (delay_samples, delay_ms, snr_db,
//                   drift_ppm, stimulus, level_dbfs, rate_hz), then
//                   frequency_hz,magnitude_db,phase_deg,group_delay_ms,coherence
//   distortion.csv  frequency_hz,h2_db,h3_db,h4_db,h5_db,thd_percent
//   impulse.wav     the impulse response, 32-bit float, at the rate
// A figure that does not apply is "none". Each file is written under a
// temporary name beside it and renamed when whole, so a file of that name
// is always a whole one (an old one stays until the new one is complete).
#pragma once

#include <string>

#include "measure/Result.h"

namespace measure {

// The lines of each file, for the files and for a copy to the clipboard.
std::string ResponseCsv(const Result& r);
std::string DistortionCsv(const Result& r);

// Writes the three files into `dir` (which must exist); false with the
// reason in `why`.
bool WriteResultFiles(const Result& r, const std::string& dir, std::string& why);

// Numbers as the files and the summaries give them: with the digits the
// estimate is good for.
std::string Figure(double value, int decimals);

}  // namespace measure
