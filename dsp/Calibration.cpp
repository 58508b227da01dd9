// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/Calibration.h"

#include "dsp/CrossingDetector.h"
#include "dsp/LeastSquares.h"
#include "dsp/NumberText.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dsp {

namespace {

constexpr double kShortest = 0.5;     // s
constexpr double kQuietest = -80;     // dBFS: below it there is no tone to read
constexpr double kOffNominal = 0.05;  // of 1 kHz
constexpr double kSteadyDb = 0.5;
constexpr double kCleanDb = 20;
constexpr int kParts = 8;

double meanSquareDb(double meanSquare) { return 10 * std::log10(meanSquare) + kSinePeakDb; }

// Whatever the user's locale.
std::string printed(double v, int decimals, const char* unit) { return fixedText(v, decimals) + unit; }

}  // namespace

std::string Calibration::note() const {
  std::string s = offsetDb ? "offset " + printed(*offsetDb, 2, " dB") : std::string("no");
  if (microphone) s += "; microphone " + microphoneName;
  return s;
}

double offsetFromCalibrator(double calibratorDbSpl, double measuredDbfs) { return calibratorDbSpl - measuredDbfs; }

double offsetFromSensitivity(double millivoltsPerPascal, double fullScaleVolts) {
  return kPascalDbSpl - 20 * std::log10(millivoltsPerPascal / 1000 / fullScaleVolts);
}

CalibratorReading readCalibrator(const float* x, std::size_t n, double rate) {
  CalibratorReading r;
  if (double(n) < kShortest * rate) {
    r.why = "less than half a second of sound to read";
    return r;
  }
  double sum = 0, sumSquares = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sum += x[i];
    sumSquares += double(x[i]) * x[i];
  }
  const double mean = sum / double(n);
  const double meanSquare = sumSquares / double(n) - mean * mean;
  r.levelDbfs = meanSquareDb(sumSquares / double(n));
  if (!(meanSquare > 0) || meanSquareDb(meanSquare) < kQuietest) {
    r.why = "no tone: the input reads " + printed(r.levelDbfs, 0, " dBFS");
    return r;
  }
  // The frequency from the first and the last rising zero crossing.
  const double rms = std::sqrt(meanSquare);
  CrossingDetector crossings(Slope::Rising, 0, rms);
  double first = -1, last = -1, at = 0;
  long count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!crossings.step(float(x[i] - mean), std::int64_t(i), at)) continue;
    if (count++ == 0) first = at;
    last = at;
  }
  if (count < 3) {
    r.why = "no tone: the input does not swing";
    return r;
  }
  r.hz = double(count - 1) / (last - first) * rate;
  if (std::fabs(r.hz / 1000 - 1) > kOffNominal) {
    r.why = "the tone is at " + printed(r.hz, 0, " Hz") + "; a calibrator plays 1 kHz";
    return r;
  }
  // Steady: the level of each part of the stretch.
  double lowest = 1e300, highest = -1e300;
  for (int p = 0; p < kParts; ++p) {
    const std::size_t a = n * std::size_t(p) / kParts, b = n * std::size_t(p + 1) / kParts;
    double s = 0;
    for (std::size_t i = a; i < b; ++i) s += (x[i] - mean) * (x[i] - mean);
    const double db = meanSquareDb(s / double(b - a));
    lowest = std::min(lowest, db);
    highest = std::max(highest, db);
  }
  if (highest - lowest > kSteadyDb) {
    r.why = "the level moves by " + printed(highest - lowest, 1, " dB") + ": hold the calibrator still";
    return r;
  }
  // Clean: what a sine at the tone's frequency leaves unexplained.
  LeastSquares fit(n, 3);
  const double w = 2 * std::numbers::pi * r.hz / rate;
  for (std::size_t i = 0; i < n; ++i) {
    fit.at(i, 0) = std::cos(w * double(i));
    fit.at(i, 1) = std::sin(w * double(i));
    fit.at(i, 2) = 1;
    fit.target(i) = x[i];
  }
  const double residual = fit.solve() / double(n);
  const double below = 10 * std::log10(meanSquare / std::max(residual, 1e-300));
  if (below < kCleanDb) {
    r.why = "noise or other tones only " + printed(below, 0, " dB") + " below the tone";
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace dsp
