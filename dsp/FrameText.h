// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A frame as text, what the frame scope's Copy puts on the clipboard and
// "save as CSV" writes: a few "# key: value" lines, then one line per bin
// with value 0 and value 1 as received and the peak hold. Numbers are
// written as NumberText says; a value that is missing or not finite is
// written "none".
#pragma once

#include "dsp/FrameBins.h"
#include "dsp/ToneFit.h"

#include <optional>
#include <string>
#include <vector>

namespace dsp {

struct FrameText {
  const FrameBins& frame;
  const std::vector<double>& peakHold;
  double binHz;
  std::optional<Tone> peak;
  std::optional<double> thdPercent;  // none unless harmonics are measured

  std::string csv() const;
};

}  // namespace dsp
