// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How often each level occurred, in bins of 0.01 dB from -200 to +30 dB, for
// the levels exceeded a given share of the time (L10, L50, L90). A level
// exceeded p % of the time is read between the bins' edges as if the
// levels in a bin were spread evenly over it, so it is good to 0.01 dB.
#pragma once

#include <cstdint>
#include <vector>

namespace dsp {

class LevelDistribution {
 public:
  LevelDistribution();

  void add(double db) noexcept;
  void reset() noexcept;
  std::uint64_t count() const { return count_; }
  // The level exceeded `percent` % of the time: NaN when nothing was added,
  // -infinity when it falls among levels below -200 dB (silence).
  double exceeded(double percent) const;

 private:
  std::vector<std::uint32_t> bins_;
  std::uint64_t below_ = 0;  // levels under the lowest bin
  std::uint64_t count_ = 0;
};

}  // namespace dsp
