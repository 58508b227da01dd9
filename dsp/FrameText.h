// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A frame as text, what the frame scope's Copy puts on the clipboard and
// "save as CSV" writes: a few "# key: value" lines (the dBFS convention, the
// readings, what the columns hold), then one line per bin with value 0 as
// received, the bin's amplitude in percent of full scale and the peak hold.
// A reading has the decimals it is good to; one withheld, a value missing or
// not finite is written "none".
#pragma once

#include "dsp/FrameBins.h"
#include "dsp/FrameEstimator.h"

#include <string>
#include <vector>

namespace dsp {

// A frame's readings as its text writes them, each with the digits it is
// good to or "none": for whatever writes the same readings elsewhere.
struct ReadingsText {
  std::string hz, dbfs, thdPercent, thdPercentBelow;
};
ReadingsText readingsText(const FrameEstimates& e, double binHz);

struct FrameText {
  const FrameBins& frame;
  const std::vector<double>& peakHold;  // dB, -infinity where none
  double binHz;
  const FrameEstimates& estimates;
  const FrameEstimates& held;  // the tone read from the peak hold

  std::string csv() const;
};

}  // namespace dsp
