// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The strongest tone of a frame, read between bins from what the program
// sends for known signals: right within the digits it is given with, or
// not read at all.
#include "dsp/ToneFit.h"

#include "tests/dsp/ProgramFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

using namespace dsp;
using namespace dsp::test;

namespace {

double amplitudeOf(double dbfs) { return std::pow(10, dbfs / 20); }

}  // namespace

TEST(ToneFit, KnownSignalsReadRightOrNotAtAll) {
  const WindowShape shape(2048);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> phase(0, 2 * std::numbers::pi);
  constexpr double kNo = NAN;
  const struct {
    const char* name;
    std::vector<Partial> partials;
    double noise;     // white, RMS
    double hz, dbfs;  // NAN: no tone may be read
    bool mustRead;    // or it may be withheld
  } cases[] = {
      {"100 Hz", {{100, 0.5, 0}}, 0, 100, -6.02, true},
      {"between bins", {{46.37 * kBinHz, amplitudeOf(-40), 0}}, 0, 46.37 * kBinHz, -40, true},
      {"on a bin", {{300 * kBinHz, 0.5, 0}}, 0, 300 * kBinHz, -6.02, true},
      {"20 kHz", {{20000, 0.5, 0}}, 0, 20000, -6.02, true},
      {"21.5 kHz", {{21500, 0.5, 0}}, 0, 21500, -6.02, true},
      {"30 Hz", {{30, 0.5, 0}}, 0, 30, -6.02, true},
      {"20 Hz", {{20, 0.5, 0}}, 0, 20, -6.02, false},
      // Its harmonics inside its main lobe bend the fit more than its residual shows.
      {"20 Hz, harmonics 40 and 50 dB down", {{20, 0.5, 0}, {40, 0.005, 0}, {60, 0.0016, 0}}, 0, 20, -6.02, false},
      // Below one bin: a side lobe is never read as the tone.
      {"10 Hz", {{10, 0.5, 0}}, 0, 10, -6.02, false},
      {"5 Hz", {{5, 0.5, 0}}, 0, 5, -6.02, false},
      {"1 kHz at 12 dB SNR", {{1000, 0.5, 0}}, 0.0887, 1000, -6.02, true},
      {"noise alone", {}, 0.1, kNo, kNo, false},
      // Two tones the window does not part: no blend of them is read.
      {"1000 + 1030 Hz", {{1000, 0.5, 0}, {1030, 0.5, 0}}, 0, kNo, kNo, false},
      {"1000 + 1030 Hz 20 dB down", {{1000, 0.5, 0}, {1030, 0.05, 0}}, 0, 1000, -6.02, false},
      {"DC 0.01 + 50 Hz", {{0, 0.01, std::numbers::pi / 2}, {50, 0.01, 0}}, 0, 50, -40, false},
  };
  for (const auto& c : cases)
    for (int trial = 0; trial < 8; ++trial) {
      std::vector<Partial> partials = c.partials;
      for (Partial& p : partials)
        if (p.hz > 0) p.phase = phase(rng);
      const ToneReading r = strongestTone(magnitudesOf(partials, c.noise), shape);
      if (std::isnan(c.hz)) {
        EXPECT_FALSE(r.tone) << c.name << " reads " << r.tone->hz(kBinHz) << " Hz";
        continue;
      }
      if (!r.tone) {
        EXPECT_FALSE(c.mustRead) << c.name << ": withheld";
        continue;
      }
      const double hzUnit = std::pow(10, -r.tone->hzDecimals(kBinHz)), dbUnit = std::pow(10, -r.tone->dbDecimals());
      EXPECT_LE(std::fabs(r.tone->hz(kBinHz) - c.hz), hzUnit) << c.name << " reads " << r.tone->hz(kBinHz);
      EXPECT_LE(std::fabs(r.tone->dbfs() - c.dbfs), dbUnit) << c.name << " reads " << r.tone->dbfs();
      if (c.mustRead && c.noise == 0 && c.partials.size() == 1 && c.hz > 60) {  // lower, taken as no better than 0.1 Hz
        EXPECT_EQ(r.tone->hzDecimals(kBinHz), 2) << c.name;
        EXPECT_EQ(r.tone->dbDecimals(), 2) << c.name;
      }
    }
}

TEST(ToneFit, NoToneInSilenceOrInAFrameWithoutAmplitudes) {
  const WindowShape shape(2048);
  EXPECT_EQ(strongestTone(magnitudesOf({}), shape).why, NoTone::Silence);
  std::vector<double> flat;
  transformMagnitudes(std::vector<double>(1024, 0.0), 2048, flat);  // value 1 = 0 everywhere
  EXPECT_FALSE(strongestTone(flat, shape).tone);
}
