// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound level meter's figures on signals with known answers: one table
// per figure (Leq and peak, the time weightings' fall, tone bursts, the
// statistical levels), and a measurement that completes and holds.
#include "dsp/SoundLevelMeter.h"

#include "tests/dsp/ToneSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace dsp;

namespace {

constexpr double kRate = 48000;

double dbOf(double amplitude) { return 20 * std::log10(amplitude); }

std::vector<float> silence(double seconds) { return std::vector<float>(std::size_t(seconds * kRate), 0.0f); }

void feed(SoundLevelMeter& m, const std::vector<float>& x) { m.process(x.data(), x.size()); }

}  // namespace

TEST(SoundLevelMeter, FigureNames) {
  EXPECT_EQ(figureName(Figure::Level, Weighting::A, TimeWeighting::Fast), "LAF");
  EXPECT_EQ(figureName(Figure::Leq, Weighting::A, TimeWeighting::Slow), "LAeq");
  EXPECT_EQ(figureName(Figure::Max, Weighting::C, TimeWeighting::Slow), "LCSmax");
  EXPECT_EQ(figureName(Figure::Min, Weighting::Z, TimeWeighting::Impulse), "LZImin");
  EXPECT_EQ(figureName(Figure::L90, Weighting::A, TimeWeighting::Fast), "LAF90");
  EXPECT_EQ(figureName(Figure::Peak, Weighting::C, TimeWeighting::Fast), "LCpeak");
}

// Steady tones: Leq is the tone's level (AES17: a full-scale sine is 0 dBFS)
// plus the weighting; the peak is the amplitude's where the samples come
// near enough to the crests (Z is read at the input's samples, A and C at
// twice the rate): tolerance 0 leaves the peak out.
TEST(SoundLevelMeter, LeqAndPeakOfSteadyTones) {
  const struct {
    double hz, amplitude, peakTolerance;
  } rows[] = {{1000, 1.0, 0.03}, {1000, 0.1, 0.03}, {100, 0.5, 0.01},
              {31.5, 0.5, 0.01}, {8000, 0.25, 0},   {15000, 0.5, 0}};
  for (const auto& row : rows) {
    // Half a second for the weighting filters to settle, then 2 s measured.
    SoundLevelMeter meter(kRate, 60);
    const std::vector<float> x = test::sine(row.hz, row.amplitude, kRate, 2.5);
    const std::size_t settled = std::size_t(0.5 * kRate);
    meter.process(x.data(), settled);
    meter.restart();
    meter.process(x.data() + settled, x.size() - settled);
    for (Weighting w : {Weighting::A, Weighting::C, Weighting::Z}) {
      const LevelFigures f = meter.figures(w, TimeWeighting::Fast);
      const double db = dbOf(row.amplitude) + weightingDb(w, row.hz);
      EXPECT_NEAR(f.leq, db, 0.02) << weightingLetter(w) << " " << row.hz;
      if (row.peakTolerance > 0) {
        EXPECT_NEAR(f.peak, db, row.peakTolerance) << weightingLetter(w) << " " << row.hz;
      }
    }
  }
}

// After a tone stops, L falls by 10 lg(e) / tau: 34.7 dB/s for Fast,
// 4.3 dB/s for Slow; Impulse holds at 2.9 dB/s. Measured over a stretch
// that starts once the averaging of what came before has passed.
TEST(SoundLevelMeter, TimeWeightingsFallAtTheirRates) {
  const struct {
    TimeWeighting t;
    double from, to, dbPerSecond;
  } rows[] = {{TimeWeighting::Fast, 0.1, 0.5, 34.74},
              {TimeWeighting::Slow, 0.5, 2.5, 4.343},
              {TimeWeighting::Impulse, 0.5, 2.5, 2.895}};
  for (const auto& row : rows) {
    SoundLevelMeter meter(kRate, 60);
    feed(meter, test::sine(1000, 0.5, kRate, 6.0));
    feed(meter, silence(row.from));
    const double first = meter.figures(Weighting::A, row.t).level;
    feed(meter, silence(row.to - row.from));
    const double second = meter.figures(Weighting::A, row.t).level;
    EXPECT_NEAR((first - second) / (row.to - row.from), row.dbPerSecond, 0.05) << timeWeightingLetter(row.t);
  }
}

// IEC 61672-1's tone bursts: 4 kHz, whole cycles, in silence. Lmax is the
// steady level plus 10 lg(1 - exp(-duration / tau)): -1.0, -18.0 and
// -27.0 dB for Fast; -7.4 and -27.0 for Slow.
TEST(SoundLevelMeter, ToneBurstsReachTheirMaxima) {
  const struct {
    TimeWeighting t;
    double seconds, belowSteady, tolerance;
  } rows[] = {{TimeWeighting::Fast, 0.2, -1.0, 0.05},
              {TimeWeighting::Fast, 0.002, -18.0, 0.05},
              {TimeWeighting::Fast, 0.00025, -27.0, 0.2},
              {TimeWeighting::Slow, 0.2, -7.4, 0.05},
              {TimeWeighting::Slow, 0.002, -27.0, 0.05}};
  for (const auto& row : rows) {
    SoundLevelMeter meter(kRate, 60);
    feed(meter, silence(0.5));
    feed(meter, test::sine(4000, 0.5, kRate, row.seconds));
    feed(meter, silence(2));
    const double steady = dbOf(0.5) + weightingDb(Weighting::A, 4000);
    EXPECT_NEAR(meter.figures(Weighting::A, row.t).max - steady, row.belowSteady, row.tolerance)
        << timeWeightingLetter(row.t) << " " << row.seconds * 1000 << " ms";
  }
}

// 7 s at -30 dBFS, then 3 s at -10 dBFS: L is above -10 for 30 % of the
// time and at -30 for most of the rest.
TEST(SoundLevelMeter, StatisticalLevelsMaxMinAndLeqOfTwoLevels) {
  SoundLevelMeter meter(kRate, 60);
  feed(meter, test::sine(1000, std::pow(10, -30 / 20.0), kRate, 7));
  feed(meter, test::sine(1000, std::pow(10, -10 / 20.0), kRate, 3));
  const LevelFigures f = meter.figures(Weighting::A, TimeWeighting::Fast);
  const struct {
    Figure figure;
    double db;
  } rows[] = {{Figure::Leq, 10 * std::log10(0.7e-3 + 0.3e-1)},
              {Figure::Max, -10},
              {Figure::Min, -30},
              {Figure::L10, -10},
              {Figure::L50, -30},
              {Figure::L90, -30},
              {Figure::Level, -10}};
  for (const auto& row : rows)
    EXPECT_NEAR(f[row.figure], row.db, 0.05) << figureName(row.figure, Weighting::A, TimeWeighting::Fast);
}

// Nothing to read before any sound; silence reads -infinity; Lmin only once
// L has settled.
TEST(SoundLevelMeter, NothingSilenceAndSettling) {
  SoundLevelMeter meter(kRate, 60);
  const LevelFigures none = meter.figures(Weighting::A, TimeWeighting::Fast);
  for (Figure f : {Figure::Level, Figure::Leq, Figure::Max, Figure::Min, Figure::L10, Figure::Peak})
    EXPECT_TRUE(std::isnan(none[f])) << figureName(f, Weighting::A, TimeWeighting::Fast);
  feed(meter, silence(0.3));
  EXPECT_TRUE(std::isnan(meter.figures(Weighting::A, TimeWeighting::Fast).min)) << "Fast settles after 1 s";
  feed(meter, silence(0.8));
  const LevelFigures quiet = meter.figures(Weighting::A, TimeWeighting::Fast);
  for (Figure f : {Figure::Level, Figure::Leq, Figure::Max, Figure::Min, Figure::L50, Figure::Peak})
    EXPECT_EQ(quiet[f], -INFINITY) << figureName(f, Weighting::A, TimeWeighting::Fast);
  EXPECT_TRUE(std::isnan(meter.figures(Weighting::A, TimeWeighting::Slow).min)) << "Slow settles after 8 s";
}

// A measurement of 2 s holds once complete, while L follows the sound;
// a restart measures afresh.
TEST(SoundLevelMeter, MeasurementCompletesAndHolds) {
  SoundLevelMeter meter(kRate, 2);
  feed(meter, test::sine(1000, 0.1, kRate, 3));
  EXPECT_TRUE(meter.complete());
  EXPECT_DOUBLE_EQ(meter.measuredSeconds(), 2);
  feed(meter, test::sine(1000, 0.5, kRate, 3));
  LevelFigures f = meter.figures(Weighting::Z, TimeWeighting::Fast);
  EXPECT_NEAR(f.leq, -20, 0.02);
  EXPECT_NEAR(f.max, -20, 0.05);
  EXPECT_NEAR(f.level, dbOf(0.5), 0.05);
  meter.restart();
  EXPECT_FALSE(meter.complete());
  feed(meter, test::sine(1000, 0.5, kRate, 1));
  f = meter.figures(Weighting::Z, TimeWeighting::Fast);
  EXPECT_NEAR(f.leq, dbOf(0.5), 0.02);
  EXPECT_NEAR(meter.measuredSeconds(), 1, 1e-9);
  // A file's measurement runs for as long as the file.
  SoundLevelMeter whole(kRate, INFINITY);
  feed(whole, test::sine(1000, 0.1, kRate, 2));
  feed(whole, test::sine(1000, 0.5, kRate, 2));
  EXPECT_FALSE(whole.complete());
  EXPECT_EQ(whole.intervalSeconds(), INFINITY);
  EXPECT_NEAR(whole.figures(Weighting::Z, TimeWeighting::Fast).leq, 10 * std::log10((0.01 + 0.25) / 2), 0.02);
}
