// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-analyse's command line: what to analyse (files, or a capture
// device for some seconds), which part and which channels, and where the
// results go.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace analyse {

struct Options {
  std::vector<std::string> files;
  std::optional<int> device;   // --device: capture instead of files
  double seconds = 0;          // with --device
  std::string csvDir;          // --csv: summary.csv and the spectra; empty: a table on stdout
  std::string pngDir;          // --png: the spectrograms; empty: none
  double from = 0;             // --from, in seconds
  std::optional<double> to;    // --to; none: the end
  std::optional<int> channel;  // --channel, counted from 1; none: all
};

void Usage(std::FILE* to);
// False after saying on stderr what is wrong.
bool Parse(int argc, char** argv, Options& o);

}  // namespace analyse
