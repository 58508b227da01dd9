// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/FrameHistory.h"

#include <algorithm>
#include <cmath>

namespace dsp {

namespace {
constexpr double kSilenceDb = -200;
}

double powerDb(double power) { return power > 0 ? std::max(10 * std::log10(power), kSilenceDb) : kSilenceDb; }

FrameHistory::FrameHistory(int bins, int capacity)
    : bins_(bins),
      capacity_(capacity),
      powers_(std::make_unique_for_overwrite<float[]>(size_t(bins) * size_t(capacity))) {}

FrameHistory::FrameHistory(const FrameHistory& other) : FrameHistory(other.bins_, other.capacity_) {
  serial_ = other.serial_;
  clears_ = other.clears_;
  for (uint64_t s = serial_ - uint64_t(size()); s < serial_; ++s) std::copy_n(other.rowOf(s), bins_, rowOf(s));
}

FrameHistory& FrameHistory::operator=(const FrameHistory& other) {
  if (this != &other) *this = FrameHistory(other);
  return *this;
}

void FrameHistory::push(const std::vector<double>& amplitudePercent) {
  float* row = rowOf(serial_);
  const size_t n = std::min(amplitudePercent.size(), size_t(bins_));
  for (size_t k = 0; k < n; ++k) {
    const double a = amplitudePercent[k] / 100 + 1;
    row[k] = std::isfinite(a) ? float(a * a) : 0.0f;
  }
  std::fill(row + n, row + bins_, 0.0f);
  ++serial_;
}

void FrameHistory::clear() {
  serial_ = 0;
  ++clears_;
}

const float* FrameHistory::row(int age) const { return rowOf(serial_ - 1 - uint64_t(age)); }

void FrameHistory::averageDb(int frames, std::vector<double>& out) const {
  const int n = std::min(frames, size());
  if (n <= 0) {
    out.clear();
    return;
  }
  out.assign(size_t(bins_), 0.0);
  for (int age = 0; age < n; ++age) {
    const float* r = row(age);
    for (int k = 0; k < bins_; ++k) out[size_t(k)] += r[k];
  }
  for (double& v : out) v = powerDb(v / n);
}

}  // namespace dsp
