// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Microphone correction files: what is read from the common forms, what is
// refused and why, and the response between and beyond the file's points.
#include "dsp/MicrophoneCorrection.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dsp;

TEST(MicrophoneCorrection, ReadsTheCommonForms) {
  const struct {
    const char* name;
    const char* text;
    std::size_t points;
    double firstHz, lastDb;
    double sensFactor;  // NaN: none
  } rows[] = {
      {"miniDSP", "\"Sens Factor =-1.378dB, AGain =18dB, SERNO: 7023120\"\n10.054\t-2.91\n20.11\t-1.2\n20000\t1.5\n", 3,
       10.054, 1.5, -1.378},
      {"comments, phase, CRLF", "* made by hand\r\n# two\r\n; three\r\n// four\r\n\r\n20 -1 12.5\r\n1000 0 0\r\n", 2,
       20, 0, NAN},
      {"commas and semicolons", "20,-1\n100;0.5\n1e4 , 2\n", 3, 20, 2, NAN},
      {"column names", "Freq(Hz) SPL(dB) Phase(deg)\n20 -1 0\n40 +0.25 0\n", 2, 20, 0.25, NAN},
      {"sensitivity in a comment", "* Sens Factor = 0.5 dB\n20 1\n", 1, 20, 1, 0.5},
  };
  for (const auto& row : rows) {
    std::string error;
    const auto c = parseMicrophoneCorrection(row.text, error);
    ASSERT_TRUE(c) << row.name << ": " << error;
    EXPECT_EQ(c->hz.size(), row.points) << row.name;
    EXPECT_DOUBLE_EQ(c->hz.front(), row.firstHz) << row.name;
    EXPECT_DOUBLE_EQ(c->db.back(), row.lastDb) << row.name;
    if (std::isnan(row.sensFactor)) {
      EXPECT_FALSE(c->sensFactorDb) << row.name;
    } else {
      ASSERT_TRUE(c->sensFactorDb) << row.name;
      EXPECT_DOUBLE_EQ(*c->sensFactorDb, row.sensFactor) << row.name;
    }
  }
}

TEST(MicrophoneCorrection, RefusesWithTheLineAndWhy) {
  const struct {
    const char* text;
    const char* error;
  } rows[] = {
      {"", "no line holds a frequency and a level"},
      {"* only a comment\n", "no line holds a frequency and a level"},
      {"20 1\nabc 2\n", "line 2: expected a frequency in Hz, found \"abc\""},
      {"20 1\n30\n", "line 2: a frequency without a level in dB"},
      {"20 1\n30 x\n", "line 2: expected a level in dB, found \"x\""},
      {"20 1\n30 1 deg\n", "line 2: expected a phase in degrees, found \"deg\""},
      {"20 1 2 3\n", "line 1: more than a frequency, a level and a phase: \"3\""},
      {"\n\n0 1\n", "line 3: the frequency 0 Hz is not above 0"},
      {"20 1\n20 2\n", "line 2: the frequency 20 Hz does not rise above the line before's"},
      {"20 1\n10 2\n", "line 2: the frequency 10 Hz does not rise above the line before's"},
      {"20 1\n30 150\n", "line 2: a level of 150 dB is not a microphone's response"},
      {"20 nan\n", "line 1: expected a level in dB, found \"nan\""},
      {"\"Sens Factor = dB\"\n20 1\n", "line 1: \"Sens Factor\" without a number after '='"},
      {"20 1\n1,5 2\n", "line 2: the frequency 1 Hz does not rise above the line before's"},
  };
  for (const auto& row : rows) {
    std::string error;
    EXPECT_FALSE(parseMicrophoneCorrection(row.text, error)) << row.text;
    EXPECT_EQ(error, row.error) << row.text;
  }
}

// Linear in the logarithm of frequency between points, held beyond them.
TEST(MicrophoneCorrection, ResponseBetweenAndBeyondThePoints) {
  std::string error;
  const auto c = parseMicrophoneCorrection("100 -2\n1000 0\n10000 4\n", error);
  ASSERT_TRUE(c) << error;
  const struct {
    double hz, db;
  } rows[] = {{10, -2},   {100, -2}, {std::sqrt(10.0) * 100, -1}, {1000, 0}, {2000, 4 * std::log10(2.0)},
              {10000, 4}, {40000, 4}};
  for (const auto& row : rows) EXPECT_NEAR(c->responseDb(row.hz), row.db, 1e-12) << row.hz;
}
