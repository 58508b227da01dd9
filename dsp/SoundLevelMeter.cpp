// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/SoundLevelMeter.h"

#include "dsp/NoDenormals.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dsp {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// 10 lg 2: a full-scale sine's mean square is 1/2 and reads 0 dBFS.
constexpr double kSineDb = 3.0102999566398120;
constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();
constexpr double kStatSeconds = 0.010;
// L has risen from silence to within 0.0015 dB of a steady sound's level
// (e^-8 of the way short) after eight time constants.
constexpr double kSettleTimeConstants = 8;
constexpr std::array<TimeWeighting, 3> kTimes{TimeWeighting::Fast, TimeWeighting::Slow, TimeWeighting::Impulse};

double squareDb(double meanSquare) { return meanSquare > 0 ? 10 * std::log10(meanSquare) + kSineDb : -kInf; }

}  // namespace

std::string figureName(Figure f, Weighting w, TimeWeighting t) {
  std::string name{'L', weightingLetter(w)};
  switch (f) {
    case Figure::Leq:
      return name + "eq";
    case Figure::Peak:
      return name + "peak";
    default:
      break;
  }
  name += timeWeightingLetter(t);
  switch (f) {
    case Figure::Max:
      return name + "max";
    case Figure::Min:
      return name + "min";
    case Figure::L10:
      return name + "10";
    case Figure::L50:
      return name + "50";
    case Figure::L90:
      return name + "90";
    default:
      return name;
  }
}

double LevelFigures::operator[](Figure f) const {
  switch (f) {
    case Figure::Level:
      return level;
    case Figure::Leq:
      return leq;
    case Figure::Max:
      return max;
    case Figure::Min:
      return min;
    case Figure::L10:
      return l10;
    case Figure::L50:
      return l50;
    case Figure::L90:
      return l90;
    case Figure::Peak:
      return peak;
  }
  return kNone;
}

SoundLevelMeter::Chain::Chain(Weighting w, double rate)
    : filter(w, rate),
      buffer(kChunk * size_t(filter.oversampling())),
      detectors{TimeWeightingDetector(kTimes[0], filter.workingRate()),
                TimeWeightingDetector(kTimes[1], filter.workingRate()),
                TimeWeightingDetector(kTimes[2], filter.workingRate())},
      statStep(kStatSeconds * filter.workingRate()) {
  for (size_t t = 0; t < 3; ++t)
    settleAfter[t] = std::uint64_t(std::ceil(kSettleTimeConstants * timeConstant(kTimes[t]) * filter.workingRate()));
  maxSquare.fill(-1);
  minSquare.fill(kInf);
}

SoundLevelMeter::SoundLevelMeter(double rate, double intervalSeconds)
    : rate_(rate),
      intervalSamples_(
          std::isinf(intervalSeconds)
              ? kUnlimited
              : std::uint64_t(std::llround(std::clamp(intervalSeconds, kShortestInterval, kLongestInterval) * rate))),
      chains_{Chain(Weighting::A, rate), Chain(Weighting::C, rate), Chain(Weighting::Z, rate)} {}

double SoundLevelMeter::intervalSeconds() const {
  return intervalSamples_ == kUnlimited ? kInf : double(intervalSamples_) / rate_;
}

void SoundLevelMeter::restart(Chain& c) noexcept {
  c.energy = 0;
  c.samples = 0;
  c.peak = 0;
  c.maxSquare.fill(-1);
  c.minSquare.fill(kInf);
  for (LevelDistribution& d : c.distributions) d.reset();
  c.nextStat = c.statStep;
}

void SoundLevelMeter::restart() noexcept {
  measured_ = 0;
  for (Chain& c : chains_) restart(c);
}

void SoundLevelMeter::process(const float* samples, std::size_t n) noexcept {
  const NoDenormals flushed;
  while (n > 0) {
    const std::size_t m = std::min(n, kChunk);
    const std::size_t measured = std::size_t(std::min<std::uint64_t>(m, intervalSamples_ - measured_));
    for (Chain& c : chains_) run(c, samples, m, measured);
    measured_ += measured;
    samples += m;
    n -= m;
  }
}

// The first `measured` of the n input samples belong to the measurement;
// the rest only move L on.
void SoundLevelMeter::run(Chain& c, const float* samples, std::size_t n, std::size_t measured) noexcept {
  const std::size_t os = size_t(c.filter.oversampling());
  c.filter.process(samples, n, c.buffer.data());
  const std::size_t total = n * os, inside = measured * os;
  double energy = 0;
  for (std::size_t i = 0; i < total; ++i) {
    const double v = c.buffer[i], square = v * v;
    const bool measuring = i < inside;
    std::array<double, 3> ms;
    for (size_t t = 0; t < 3; ++t) ms[t] = c.detectors[t].step(square);
    ++c.sinceStart;
    if (!measuring) continue;
    energy += square;
    c.peak = std::max(c.peak, std::fabs(v));
    ++c.samples;
    const bool stat = double(c.samples) >= c.nextStat;
    if (stat) c.nextStat += c.statStep;
    for (size_t t = 0; t < 3; ++t) {
      c.maxSquare[t] = std::max(c.maxSquare[t], ms[t]);
      if (c.sinceStart <= c.settleAfter[t]) continue;
      c.minSquare[t] = std::min(c.minSquare[t], ms[t]);
      if (stat) c.distributions[t].add(squareDb(ms[t]));
    }
  }
  c.energy += energy;
}

LevelFigures SoundLevelMeter::figures(Weighting w, TimeWeighting t) const {
  const Chain& c = chains_[size_t(w)];
  const size_t k = size_t(t);
  LevelFigures f{};
  f.level = c.sinceStart > 0 ? squareDb(c.detectors[k].value()) : kNone;
  const bool any = c.samples > 0;
  f.leq = any ? squareDb(c.energy / double(c.samples)) : kNone;
  f.max = any ? squareDb(c.maxSquare[k]) : kNone;
  f.min = std::isfinite(c.minSquare[k]) ? squareDb(c.minSquare[k]) : kNone;
  const LevelDistribution& d = c.distributions[k];
  f.l10 = d.exceeded(10);
  f.l50 = d.exceeded(50);
  f.l90 = d.exceeded(90);
  f.peak = any ? (c.peak > 0 ? 20 * std::log10(c.peak) : -kInf) : kNone;
  return f;
}

}  // namespace dsp
