// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The frame on screen as text, what Copy puts on the clipboard and "save as
// CSV" writes: a few "# key: value" lines, then one line per bin with value 0
// and value 1 as received and the peak hold. Numbers always carry a dot,
// whatever the user's locale; a value that is missing or not finite is
// written "none".
#pragma once

#include "display/spectrum/FrameAssembler.h"
#include "dsp/ToneFit.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvel::display {

struct FrameText {
  const FrameBins& frame;
  const std::vector<double>& peakHold;
  double binHz;
  std::optional<dsp::Tone> peak;
  std::optional<double> thdPercent;  // none unless harmonics are measured

  QString csv() const;
};

}  // namespace quorvel::display
