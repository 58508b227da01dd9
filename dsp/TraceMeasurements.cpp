// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/TraceMeasurements.h"

#include "dsp/CrossingDetector.h"

#include <cmath>
#include <limits>

namespace dsp {

namespace {

// Below a swing of three steps of a 16-bit sample there is no cycle to speak of.
constexpr double kMinSwing = 3.0 / 32768;

}  // namespace

double PointStats::mean() const { return count ? sum / double(count) : 0; }
double PointStats::rms() const { return count ? std::sqrt(sumSquares / double(count)) : 0; }

PointStats pointStats(const TraceHistory& h, int64_t from, int64_t to) {
  PointStats s;
  float lo = std::numeric_limits<float>::infinity(), hi = -lo;
  h.forEachRun(from, to, [&](const float* v, size_t n, int64_t) {
    for (size_t k = 0; k < n; ++k) {
      const double x = v[k];
      lo = std::min(lo, v[k]);
      hi = std::max(hi, v[k]);
      s.sum += x;
      s.sumSquares += x * x;
    }
    s.count += n;
  });
  if (s.count) {
    s.min = lo;
    s.max = hi;
  }
  return s;
}

TraceMeasurements measure(const TraceHistory& h, int64_t from, int64_t to) {
  TraceMeasurements m;
  const PointStats all = pointStats(h, from, to);
  m.count = all.count;
  if (!m.count) return m;
  m.min = all.min;
  m.max = all.max;
  m.peak = std::max(std::fabs(all.min), std::fabs(all.max));
  m.rms = all.rms();
  m.dc = all.mean();
  const double swing = all.peakToPeak();
  if (swing < kMinSwing) return m;

  // Running sums up to each crossing, so that the sums over whole cycles
  // come out of the same pass.
  CrossingDetector crossings(Slope::Rising, (all.min + all.max) / 2, swing / 10);
  struct Mark {
    double at;
    int64_t point;  // the first point after the crossing
    double sum, sumSquares;
  };
  Mark first{}, last{};
  int found = 0;
  double sum = 0, sumSquares = 0;
  h.forEachRun(from, to, [&](const float* v, size_t n, int64_t firstPoint) {
    for (size_t k = 0; k < n; ++k) {
      double at;
      const int64_t i = firstPoint + int64_t(k);
      if (crossings.step(v[k], i, at)) {
        last = {at, i, sum, sumSquares};
        if (found++ == 0) first = last;
      }
      const double x = v[k];
      sum += x;
      sumSquares += x * x;
    }
  });
  if (found < 2) return m;
  m.cycles = found - 1;
  m.periodPoints = (last.at - first.at) / m.cycles;
  const double points = double(last.point - first.point);
  m.dc = (last.sum - first.sum) / points;
  m.rms = std::sqrt((last.sumSquares - first.sumSquares) / points);
  return m;
}

std::optional<double> TraceMeasurements::frequencyHz(int rate) const {
  if (!periodPoints) return std::nullopt;
  return rate / *periodPoints;
}

std::optional<double> TraceMeasurements::periodMs(int rate) const {
  if (!periodPoints) return std::nullopt;
  return *periodPoints * 1000.0 / rate;
}

double dbfs(double fullScale) { return 20 * std::log10(fullScale); }

}  // namespace dsp
