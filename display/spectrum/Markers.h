// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Up to four markers placed by the user, each on one bin: the trace's level
// is read there frame after frame.
#pragma once

#include <vector>

namespace quorvel::display {

class Markers {
 public:
  static constexpr int kMax = 4;

  // Places a marker on the loudest bin within `reach` bins of `bin` (a click
  // near a peak lands on the peak); with four placed, the oldest goes. A bin
  // already marked is not marked twice.
  void place(int bin, const std::vector<double>& levels, int reach);
  void clear() { bins_.clear(); }
  // Oldest first.
  const std::vector<int>& bins() const { return bins_; }

 private:
  std::vector<int> bins_;
};

}  // namespace quorvel::display
