// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Per-bin maximum level since the last reset, held for ever or falling at a
// steady rate, and the strongest bin of a frame.
#pragma once

#include <vector>

namespace dsp {

class PeakHold {
 public:
  explicit PeakHold(int bins);

  // One frame. fallDb: how far every held level falls before the frame is
  // compared with it (0 holds for ever).
  void update(const std::vector<double>& levels, double fallDb = 0);
  void reset();
  // -infinity where no finite level has been seen.
  const std::vector<double>& levels() const { return peaks_; }

 private:
  std::vector<double> peaks_;
};

// Index of the loudest finite level, or -1 when there is none or no level
// stands above another (digital silence, all at the analyser's floor, has
// no strongest bin: reading one out would name 0 Hz).
int strongestBin(const std::vector<double>& levels);

}  // namespace dsp
