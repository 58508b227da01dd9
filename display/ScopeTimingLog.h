// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A scope's timing, written out for the sound-to-screen benchmark
// (bench/scope-latency) when QUORVEL_SCOPE_TIMING names a directory: one
// file per scope, <directory>/<title>.timing, a line per event, times in
// steady-clock nanoseconds, points numbered from the scope's first:
//   batch FIRST ARRIVED CAPTURED   a batch stamp (PointRing; CAPTURED 0: not known)
//   taken FIRST COUNT PEAK LARGEST points taken in one go, where the largest
//                                  magnitude of value 0 among them was, and it
//   picture DRAWN                  a picture of the view handed to the window system
// The benchmark finds a click among the points and the first picture after
// the points that held it were taken. GUI thread only; without the variable
// nothing is written or kept.
#pragma once

#include "display/PointRing.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <memory>

namespace quorvel::display {

class ScopeTimingLog {
 public:
  // None when the variable is not set or the file cannot be made.
  static std::unique_ptr<ScopeTimingLog> open(const QString& title);
  ~ScopeTimingLog();
  ScopeTimingLog(const ScopeTimingLog&) = delete;
  ScopeTimingLog& operator=(const ScopeTimingLog&) = delete;

  void batch(const BatchStamp& b);
  void taken(uint64_t first, uint64_t count, uint64_t peak, double largest);
  void picture(int64_t drawnNs);

 private:
  explicit ScopeTimingLog(FILE* file) : file_(file) {}
  FILE* file_;
};

}  // namespace quorvel::display
