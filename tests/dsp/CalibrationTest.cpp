// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Calibration: a calibrator's tone read and turned into an offset, after
// which a tone 6 dB below reads 6.0 dB below; what is not a calibrator's
// tone, and why; a typed sensitivity; peaks in dB SPL.
#include "dsp/Calibration.h"

#include "dsp/SoundLevelMeter.h"
#include "tests/dsp/ToneSignals.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dsp;

namespace {
constexpr double kRate = 48000;
}

TEST(Calibration, ACalibratorTonesLevelSetsTheOffset) {
  for (double calibrator : {94.0, 114.0}) {
    const double amplitude = 0.1;  // -20 dBFS
    const std::vector<float> tone = test::tones({{1000, amplitude}, {3000, amplitude / 300}}, kRate, 2);
    const CalibratorReading r = readCalibrator(tone.data(), tone.size(), kRate);
    ASSERT_TRUE(r.ok) << r.why;
    EXPECT_NEAR(r.levelDbfs, -20, 0.01);
    EXPECT_NEAR(r.hz, 1000, 0.01);
    Calibration c;
    c.offsetDb = offsetFromCalibrator(calibrator, r.levelDbfs);
    // The same tone, and one 6 dB below, through the meter.
    for (double below : {0.0, 6.0}) {
      SoundLevelMeter meter(kRate, 60);
      const std::vector<float> x = test::sine(1000, amplitude * std::pow(10, -below / 20), kRate, 3);
      meter.process(x.data(), x.size());
      for (Weighting w : {Weighting::A, Weighting::C, Weighting::Z})
        EXPECT_NEAR(c.level(meter.figures(w, TimeWeighting::Fast).leq), calibrator - below, 0.05)
            << weightingLetter(w) << ", " << below << " dB below";
    }
  }
}

TEST(Calibration, WhatIsNotACalibratorsTone) {
  const std::vector<float> tone = test::sine(1000, 0.1, kRate, 2);
  std::vector<float> stepped = tone;
  for (std::size_t i = stepped.size() / 2; i < stepped.size(); ++i) stepped[i] *= 1.2f;  // +1.6 dB
  std::vector<float> noisy = tone;
  unsigned seed = 1;
  for (float& v : noisy) v += 0.03f * float((seed = seed * 1664525 + 1013904223) >> 8) / float(1 << 24) - 0.015f;
  const struct {
    const char* name;
    std::vector<float> x;
    const char* why;
  } rows[] = {
      {"silence", std::vector<float>(96000, 0.0f), "no tone: the input reads -inf dBFS"},
      {"too short", test::sine(1000, 0.1, kRate, 0.4), "less than half a second of sound to read"},
      {"500 Hz", test::sine(500, 0.1, kRate, 2), "the tone is at 500 Hz; a calibrator plays 1 kHz"},
      {"stepped", stepped, "the level moves by 1.6 dB: hold the calibrator still"},
      {"noisy", noisy, "noise or other tones only 18 dB below the tone"},
  };
  for (const auto& row : rows) {
    const CalibratorReading r = readCalibrator(row.x.data(), row.x.size(), kRate);
    EXPECT_FALSE(r.ok) << row.name;
    EXPECT_EQ(r.why, row.why) << row.name;
  }
}

// 10 mV/Pa into an input whose full-scale sine is 1 V: 1 Pa reads -40 dBFS.
// Peaks in dB SPL are the peak pressure: 3.01 dB above a sine's level.
// Bands lose the microphone's response at their middle, calibrated or not.
TEST(Calibration, SensitivityPeaksAndBands) {
  EXPECT_NEAR(offsetFromSensitivity(10, 1), kPascalDbSpl + 40, 1e-9);
  EXPECT_NEAR(offsetFromSensitivity(50, 0.5), kPascalDbSpl + 20, 1e-9);
  Calibration c;
  EXPECT_EQ(c.note(), "no");
  EXPECT_EQ(c.peak(-6), -6);
  std::string error;
  c.microphone = parseMicrophoneCorrection("100 -2\n1000 0\n10000 3\n", error);
  c.microphoneName = "mic.txt";
  EXPECT_EQ(c.note(), "no; microphone mic.txt");
  EXPECT_NEAR(c.band(-30, 10000), -33, 1e-12);
  c.offsetDb = offsetFromSensitivity(10, 1);
  EXPECT_EQ(c.note(), "offset 133.98 dB; microphone mic.txt");
  EXPECT_NEAR(c.band(-30, 100), -30 + kPascalDbSpl + 40 + 2, 1e-9);
  // A 1 Pa sine: -40 dBFS (AES17), so its peak is 0.01 of full scale.
  EXPECT_NEAR(c.level(-40), 93.98, 0.005);
  EXPECT_NEAR(c.peak(20 * std::log10(0.01)), 93.98 + 3.01, 0.005);
}
