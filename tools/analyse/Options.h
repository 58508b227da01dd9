// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-analyse's command line: what to analyse (files, or a capture
// device for some seconds), which part and which channels, and where the
// results go; and, when asked, a sound level meter's figures and the
// levels in fractional-octave bands, calibrated or in dBFS.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "dsp/FrequencyWeighting.h"

namespace analyse {

struct Options {
  std::vector<std::string> files;
  std::optional<int> device;                // --device: capture instead of files
  double seconds = 0;                       // with --device
  std::string csvDir;                       // --csv: summary.csv and the spectra; empty: a table on stdout
  std::string pngDir;                       // --png: the spectrograms; empty: none
  double from = 0;                          // --from, in seconds
  std::optional<double> to;                 // --to; none: the end
  std::optional<int> channel;               // --channel, counted from 1; none: all
  std::optional<int> bandsPerOctave;        // --bands: 1, 3, 6, 12 or 24
  std::optional<dsp::Weighting> weighting;  // --weighting
  std::string microphoneFile;               // --calibration: a microphone's correction file
  std::optional<double> offsetDb;           // --offset: dB SPL = dBFS + offset

  // Whether the level figures are asked for: any of the four above.
  bool levels() const { return bandsPerOctave || weighting || !microphoneFile.empty() || offsetDb; }
  // The weighting of the figures (A unless chosen) and of the bands (Z
  // unless chosen), as a sound level meter and a band analyser start.
  dsp::Weighting figuresWeighting() const { return weighting.value_or(dsp::Weighting::A); }
  dsp::Weighting bandsWeighting() const { return weighting.value_or(dsp::Weighting::Z); }
};

void Usage(std::FILE* to);
// False after saying on stderr what is wrong.
bool Parse(int argc, char** argv, Options& o);

}  // namespace analyse
