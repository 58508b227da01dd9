// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A measurement microphone's correction file: plain text, one frequency in
// Hz and one level in dB per line, optionally a phase in degrees after
// them, separated by spaces, tabs, commas or semicolons. Lines starting with
// '*', '#', ';', '//' or '"' are comments; so is one line of column names
// before the first frequency. A line naming "Sens Factor = x dB" (miniDSP
// writes it quoted, first) gives the sensitivity the file states.
//
// The levels are the microphone's response, as its maker measured it: how
// much more it reads than the sound there is. A level is corrected by
// subtracting the response at its frequency, read linearly on a logarithmic
// frequency axis between the file's points and held at the end values
// beyond them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dsp {

struct MicrophoneCorrection {
  std::vector<double> hz, db;  // frequencies rising
  std::optional<double> sensFactorDb;

  // What the microphone reads above the true level at `hz`, in dB.
  double responseDb(double hz) const;
};

// The file's text. Refused with the reason, naming the line ("line 7: ..."),
// when a line is neither a comment nor a frequency and a level, when the
// frequencies do not rise, or when there is no frequency at all.
std::optional<MicrophoneCorrection> parseMicrophoneCorrection(std::string_view text, std::string& error);

}  // namespace dsp
