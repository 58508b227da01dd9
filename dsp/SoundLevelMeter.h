// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A sound level meter's figures for every frequency weighting (A, C, Z) and
// time weighting (Fast, Slow, Impulse) at once, from one stream of samples.
//
// Levels are dBFS as AES17 has it: 10 lg of the mean square plus 3.01 dB,
// so that a full-scale sine reads 0 dBFS. The peak is 20 lg of the largest
// magnitude of the weighted signal (full scale is 0 dBFS), taken at the
// rate the weighting runs at (twice the input's below 80 kHz, so between
// the input's samples too).
//
// A measurement runs from the last restart for a chosen interval (1 s to
// 24 h); once it is complete its figures hold while L keeps following the
// sound. The time weightings run on across restarts, as a meter's do; they
// start from silence with the stream, so L rises from nothing at first:
// Lmin and the statistical levels take L only once it has run eight time
// constants (1 s for Fast, 8 s for Slow), and never from before.
#pragma once

#include "dsp/FrequencyWeighting.h"
#include "dsp/LevelDistribution.h"
#include "dsp/TimeWeighting.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dsp {

// What a meter reads, by name: LAF (Level), LAeq, LAFmax, LAFmin, LAF10,
// LAF50, LAF90, LCpeak.
enum class Figure { Level, Leq, Max, Min, L10, L50, L90, Peak };

// "LAF", "LAeq", "LAFmax", "LCpeak", ...: the time weighting's letter only
// where the figure depends on it.
std::string figureName(Figure f, Weighting w, TimeWeighting t);
// The weighting a meter reads figure f in when its other figures are
// weighted w: the peak is C-weighted whatever they are (LCpeak).
inline Weighting figureWeighting(Figure f, Weighting w) { return f == Figure::Peak ? Weighting::C : w; }

// One frequency weighting and time weighting, in dBFS. NaN where there is
// nothing to read yet (no time measured, L not yet settled); -infinity for
// digital silence.
struct LevelFigures {
  double level;          // L now
  double leq;            // the energy average over the measurement
  double max, min;       // of L over the measurement
  double l10, l50, l90;  // L exceeded 10, 50, 90 % of the time (L taken every 10 ms)
  double peak;           // Lpeak over the measurement

  double operator[](Figure f) const;
};

class SoundLevelMeter {
 public:
  static constexpr double kShortestInterval = 1, kLongestInterval = 24 * 3600.0;

  // `rate`: the input's sample rate; `intervalSeconds` is clamped to
  // [kShortestInterval, kLongestInterval], or infinite: the measurement
  // then runs for as long as the stream (a file's analysis).
  SoundLevelMeter(double rate, double intervalSeconds);

  double rate() const { return rate_; }
  // Samples as fractions of full scale. No allocation.
  void process(const float* samples, std::size_t n) noexcept;
  // A new measurement from here.
  void restart() noexcept;

  double intervalSeconds() const;
  double measuredSeconds() const { return double(measured_) / rate_; }
  bool complete() const { return measured_ >= intervalSamples_; }

  LevelFigures figures(Weighting w, TimeWeighting t) const;

 private:
  static constexpr std::size_t kChunk = 4096;
  struct Chain {
    Chain(Weighting w, double rate);
    WeightingFilter filter;
    std::vector<double> buffer;
    std::array<TimeWeightingDetector, 3> detectors;
    std::array<std::uint64_t, 3> settleAfter;  // working samples from the stream's start
    std::uint64_t sinceStart = 0;              // working samples
    // The measurement.
    double energy = 0;
    std::uint64_t samples = 0;  // working samples measured
    double peak = 0;
    std::array<double, 3> maxSquare{}, minSquare{};
    std::array<LevelDistribution, 3> distributions;
    double statStep;      // working samples between two statistical samples
    double nextStat = 0;  // the measured sample at which the next one is taken
  };
  void run(Chain& c, const float* samples, std::size_t n, std::size_t measured) noexcept;
  void restart(Chain& c) noexcept;

  double rate_;
  std::uint64_t intervalSamples_;
  std::uint64_t measured_ = 0;  // input samples of the measurement so far
  std::array<Chain, 3> chains_;
};

}  // namespace dsp
