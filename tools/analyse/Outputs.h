// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The files written for one analysed span, per channel: the averaged
// spectrum as the frame scope's text (DIR/<stem>-ch<N>-spectrum.csv) and
// the spectrogram (DIR/<stem>-ch<N>-spectrogram.png), and when measured the
// band levels (DIR/<stem>-ch<N>-bands.csv), each whole or not at all.
#pragma once

#include <string>

#include "dsp/Calibration.h"
#include "tools/analyse/Analysis.h"

namespace analyse {

struct OutputPlace {
  std::string csvDir, pngDir;  // empty: not written
  std::string source;          // for the picture's title
  std::string stem;            // the files' names start with it
  double fromSeconds = 0;
  dsp::Calibration calibration;  // of the band levels
};

// False when a file could not be written; each failure is said on stderr.
bool WriteOutputs(const OutputPlace& place, const Result& result);

}  // namespace analyse
