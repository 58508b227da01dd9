// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/TraceMeasurements.h"

#include "dsp/CrossingDetector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace dsp {

namespace {

// Below a swing of three steps of a 16-bit sample there is no cycle to speak of.
constexpr double kMinSwing = 3.0 / 32768;
constexpr double kHysteresisOfSwing = 0.1;
// How far one spacing of two crossings may be from the period (a crossing
// missed doubles one, a crossing made by noise splits one), and how far the
// instants may scatter about their line, as RMS, before the period is
// withheld; both as a share of the period.
constexpr double kMaxSpacingError = 0.25;
constexpr double kMaxScatter = 0.05;
// Fewer points a cycle than this, and interpolated crossings scatter by
// several percent of a cycle.
constexpr double kFewPointsPerCycle = 4;
// Fewer crossings than this, and their scatter about their line says
// little: the noise on the points sets how good each instant is.
constexpr size_t kFewCrossings = 5;
// A frequency not good to 0.01 % is not shown.
constexpr double kCoarsest = 1e-4;

struct Period {
  double points, uncertainty;
};

// The crossings of one pass over the points: a straight line through their
// instants t_j against their count j. Welford's updates keep the sums exact
// to rounding however many there are; instants are taken from the first.
class CrossingLine {
 public:
  void add(double at, double slope) {
    if (found_ == 0) first_ = at;
    const double t = at - first_;
    if (found_ > 0) {
      minSpacing_ = std::min(minSpacing_, t - last_);
      maxSpacing_ = std::max(maxSpacing_, t - last_);
    }
    last_ = t;
    slopes_ += std::fabs(slope);
    const double n = ++found_, j = n - 1;
    const double dj = j - meanJ_, dt = t - meanT_;
    meanJ_ += dj / n;
    meanT_ += dt / n;
    cjj_ += dj * (j - meanJ_);
    cjt_ += dj * (t - meanT_);
    ctt_ += dt * (t - meanT_);
  }

  int found() const { return found_; }

  // None for fewer than two crossings or crossings that are not regular.
  // noise: the standard deviation of the noise on the points, full scale.
  std::optional<Period> period(double noise) const {
    if (found_ < 2) return std::nullopt;
    const double p = cjt_ / cjj_;
    if (!(p > 0) || minSpacing_ < p * (1 - kMaxSpacingError) || maxSpacing_ > p * (1 + kMaxSpacingError))
      return std::nullopt;
    const int freedom = found_ - 2;
    const double scatter = freedom > 0 ? std::sqrt(std::max(ctt_ - cjt_ * cjt_ / cjj_, 0.0) / freedom) : 0;
    if (scatter > kMaxScatter * p) return std::nullopt;
    // An instant is no better than a sample's rounding (half a 16-bit
    // step, uniform) over the slope there. With too few crossings for their
    // scatter to say much, it is taken as no better than the noise over the
    // slope, nor than linear interpolation on a sine.
    const double w = 2 * std::numbers::pi / p, slope = slopes_ / found_;
    double floor = 1 / (std::sqrt(12.0) * 32768 * slope);
    if (freedom < 3) floor += noise / slope + w * w / 20;
    // A scatter from a few instants is itself uncertain: it is widened as
    // Student's t would widen it.
    const double spread = freedom >= 3 ? scatter * (1 + 4.0 / freedom) : 0;
    return Period{p, std::max(spread, floor) / std::sqrt(cjj_)};
  }

 private:
  int found_ = 0;
  double first_ = 0, last_ = 0;
  double minSpacing_ = std::numeric_limits<double>::infinity(), maxSpacing_ = 0;
  double slopes_ = 0;
  double meanJ_ = 0, meanT_ = 0, cjj_ = 0, cjt_ = 0, ctt_ = 0;
};

// A crossing: the points i and i + 1 either side of it, less the level.
struct Crossing {
  int64_t i;
  double before, after;
};

// The line through the crossings' instants, each interpolated as on a sine
// of `omega` radians a point through the two points either side: exact for
// a sine, and for omega -> 0 linear interpolation.
CrossingLine lineThrough(const std::vector<Crossing>& crossings, double omega) {
  CrossingLine line;
  const double sinW = std::sin(omega), cosW = std::cos(omega);
  for (const Crossing& c : crossings) {
    const double a =
        omega > 0 ? std::atan2(-c.before * sinW, c.after - c.before * cosW) / omega : -c.before / (c.after - c.before);
    line.add(double(c.i) + a, c.after - c.before);
  }
  return line;
}

// Decimals for which one unit of the last is at least `unit`.
int decimalsFor(double unit, int most) {
  if (!(unit > 0)) return most;
  return std::clamp(int(std::floor(-std::log10(unit))), 0, most);
}

}  // namespace

double PointStats::mean() const { return count ? sum / double(count) : 0; }
double PointStats::rms() const { return count ? std::sqrt(sumSquares / double(count)) : 0; }

void PointStats::add(const float* v, size_t n, size_t stride) {
  if (n == 0) return;
  double lo = count ? min : std::numeric_limits<double>::infinity(), hi = count ? max : -lo;
  for (size_t k = 0; k < n; ++k) {
    const double x = v[k * stride];
    lo = std::min(lo, x);
    hi = std::max(hi, x);
    sum += x;
    sumSquares += x * x;
  }
  count += n;
  min = lo;
  max = hi;
}

PointStats pointStats(const TraceHistory& h, int64_t from, int64_t to) {
  PointStats s;
  h.forEachRun(from, to, [&](const float* v, size_t n, int64_t) { s.add(v, n); });
  return s;
}

TraceMeasurements measure(const TraceHistory& h, int64_t from, int64_t to) {
  TraceMeasurements m;
  const PointStats all = pointStats(h, from, to);
  m.count = all.count;
  if (!m.count) return m;
  m.min = all.min;
  m.max = all.max;
  m.peak = all.peak();
  const double swing = all.peakToPeak();
  if (swing < kMinSwing) {
    m.rms = all.rms();
    m.dc = all.mean();
    m.why = NoPeriod::NoSwing;
    return m;
  }

  // One pass over the points, or over the points with every other one
  // negated about `mean` (folded), taking the rising crossings of the
  // middle of [lo, hi]: the two points either side of each, from the level.
  // With sums, also the sums up to the first and the last crossing, for the
  // levels over whole cycles.
  struct Mark {
    int64_t point = 0;  // the first point after the crossing
    double sum = 0, sumSquares = 0;
  };
  struct Sums {
    Mark first, last, now;
  };
  thread_local std::vector<Crossing> crossings;
  auto crossingsOf = [&](bool folded, double mean, double lo, double hi, Sums* sums) {
    crossings.clear();
    const double level = (lo + hi) / 2;
    CrossingDetector detector(Slope::Rising, level, (hi - lo) * kHysteresisOfSwing);
    double before = 0;
    h.forEachRun(from, to, [&](const float* v, size_t n, int64_t first) {
      double sign = first % 2 ? -1 : 1;  // of point first, folded
      for (size_t k = 0; k < n; ++k) {
        const double y = folded ? sign * (v[k] - mean) : v[k];
        sign = -sign;
        double at;
        if (detector.step(float(y), first + int64_t(k), at)) {
          crossings.push_back({first + int64_t(k) - 1, before - level, y - level});
          if (sums) {
            sums->now.point = first + int64_t(k);
            sums->last = sums->now;
            if (crossings.size() == 1) sums->first = sums->now;
          }
        }
        if (sums) {
          sums->now.sum += v[k];
          sums->now.sumSquares += double(v[k]) * v[k];
        }
        before = y;
      }
    });
  };
  // The noise on the points, from their third differences: white noise of
  // variance s^2 gives them 20 s^2, a slow wave next to nothing. Needed only
  // where there are too few crossings for their scatter to tell.
  auto noise = [&] {
    double back[3] = {0, 0, 0}, thirds = 0;
    size_t seen = 0;
    h.forEachRun(from, to, [&](const float* v, size_t n, int64_t) {
      for (size_t k = 0; k < n; ++k, ++seen) {
        const double third = v[k] - 3 * back[2] + 3 * back[1] - back[0];
        if (seen >= 3) thirds += third * third;
        back[0] = back[1], back[1] = back[2], back[2] = v[k];
      }
    });
    return seen > 3 ? std::sqrt(thirds / double(seen - 3) / 20) : 0.0;
  };
  // The period from the crossings found, first with instants interpolated
  // linearly, then on a sine of the period that gives.
  auto periodOf = [&] {
    const double spread = crossings.size() < kFewCrossings ? noise() : 0;
    std::optional<Period> p = lineThrough(crossings, 0).period(spread);
    if (p && p->points >= 2) p = lineThrough(crossings, 2 * std::numbers::pi / p->points).period(spread);
    return p;
  };

  Sums sums;
  crossingsOf(false, 0, all.min, all.max, &sums);
  if (crossings.size() < 2) {
    m.why = NoPeriod::LessThanACycle;
    return m;
  }
  const double points = double(sums.last.point - sums.first.point);
  m.dc = (sums.last.sum - sums.first.sum) / points;
  m.rms = std::sqrt((sums.last.sumSquares - sums.first.sumSquares) / points);

  std::optional<Period> period = periodOf();
  if (!period || period->points < kFewPointsPerCycle) {
    // A tone at f cycles a point, folded, is at 1/2 - f. Folded about the
    // DC over whole cycles: the rest of the DC would fold into a tone at
    // half the rate.
    float lo = std::numeric_limits<float>::infinity(), hi = -lo;
    h.forEachRun(from, to, [&](const float* v, size_t n, int64_t first) {
      double sign = first % 2 ? -1 : 1;
      for (size_t k = 0; k < n; ++k, sign = -sign) {
        const float y = float(sign * (v[k] - *m.dc));
        lo = std::min(lo, y);
        hi = std::max(hi, y);
      }
    });
    crossingsOf(true, *m.dc, lo, hi, nullptr);
    const std::optional<Period> f = periodOf();
    if (f && f->points >= kFewPointsPerCycle) {
      const double p = 1 / (0.5 - 1 / f->points);
      period = Period{p, f->uncertainty * p * p / (f->points * f->points)};
    }
  }
  if (!period) {
    m.why = NoPeriod::Irregular;
    return m;
  }
  m.periodPoints = period->points;
  m.periodUncertainty = period->uncertainty;
  m.cycles = int(std::lround(points / period->points));
  return m;
}

std::optional<double> TraceMeasurements::crestFactor() const {
  if (!rms || !(*rms > 0)) return std::nullopt;
  return peak / *rms;
}

std::optional<double> TraceMeasurements::frequencyHz(int rate) const {
  if (!periodPoints) return std::nullopt;
  const double hz = rate / *periodPoints;
  if (3 * periodUncertainty / *periodPoints > kCoarsest) return std::nullopt;
  return hz;
}

std::optional<double> TraceMeasurements::periodMs(int rate) const {
  if (!frequencyHz(rate)) return std::nullopt;
  return *periodPoints * 1000.0 / rate;
}

int TraceMeasurements::frequencyDecimals(int rate) const {
  if (!periodPoints) return 0;
  return decimalsFor(3 * rate * periodUncertainty / (*periodPoints * *periodPoints), 4);
}

int TraceMeasurements::periodDecimals(int rate) const { return decimalsFor(3 * periodUncertainty * 1000.0 / rate, 6); }

double dbfs(double fullScale) { return 20 * std::log10(fullScale); }

double rmsDbfs(double rms) { return dbfs(rms * std::numbers::sqrt2); }

}  // namespace dsp
