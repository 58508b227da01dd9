// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The bands: their layout, every band's designed response against the
// class 1 limits, tones at the mid-band frequencies and far from them, and
// pink sound, through the filters.
#include "dsp/OctaveFilterBank.h"

#include "tests/dsp/ToneSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace dsp;

namespace {

const double kG = std::pow(10.0, 0.3);

// IEC 61260-1 (2014), class 1: relative attenuation limits at the
// breakpoints G^e of an octave band; for 1/b octave each breakpoint moves
// to 1 + (G^(1/(2b)) - 1) / (G^(1/2) - 1) (G^e - 1) (and mirrored below).
struct Limit {
  double exponent, min, max;
};
constexpr Limit kLimits[] = {{0, -0.4, 0.4},    {0.125, -0.4, 0.5},  {0.25, -0.4, 0.7},   {0.375, -0.4, 1.4},
                             {0.5, 1.2, 5.3},   {1, 16.6, INFINITY}, {2, 40.5, INFINITY}, {3, 60, INFINITY},
                             {4, 70, INFINITY}, {5, 70, INFINITY}};

double breakpoint(double exponent, int b) {
  const double k = (std::pow(kG, 1.0 / (2 * b)) - 1) / (std::sqrt(kG) - 1);
  return 1 + k * (std::pow(kG, exponent) - 1);
}

}  // namespace

TEST(OctaveBands, MidBandFrequenciesEdgesAndNames) {
  const std::vector<OctaveBand> thirds = octaveBands(3, 48000);
  ASSERT_EQ(thirds.size(), 33u);
  EXPECT_NEAR(thirds.front().midHz, 12.589, 0.001);
  EXPECT_NEAR(thirds[19].midHz, 1000, 1e-9);
  EXPECT_NEAR(thirds.back().midHz, 19952.6, 0.1);
  EXPECT_NEAR(thirds[19].highHz / thirds[19].lowHz, std::pow(kG, 1.0 / 3), 1e-12);
  EXPECT_NEAR(thirds[20].lowHz, thirds[19].highHz, 1e-9) << "bands meet";
  const struct {
    int b;
    double rate;
    std::size_t count;
    double firstMid, lastMid;
    const char *firstName, *lastName;
  } rows[] = {{1, 48000, 11, 15.849, 15849, "16", "16k"},       {1, 22050, 10, 15.849, 7943.3, "16", "8k"},
              {3, 44100, 33, 12.589, 19953, "12.5", "20k"},     {6, 44100, 65, 11.885, 18836, "11.9", "18.8k"},
              {12, 96000, 132, 11.548, 21752, "11.5", "21.8k"}, {24, 48000, 263, 11.383, 21441, "11.4", "21.4k"},
              {24, 8000, 201, 11.383, 3598.2, "11.4", "3.6k"}};
  for (const auto& row : rows) {
    const std::vector<OctaveBand> bands = octaveBands(row.b, row.rate);
    ASSERT_EQ(bands.size(), row.count) << "1/" << row.b << " at " << row.rate;
    EXPECT_NEAR(bands.front().midHz, row.firstMid, 0.001 * row.firstMid) << "1/" << row.b;
    EXPECT_NEAR(bands.back().midHz, row.lastMid, 0.001 * row.lastMid) << "1/" << row.b << " at " << row.rate;
    EXPECT_EQ(bandLabel(bands.front(), row.b), row.firstName);
    EXPECT_EQ(bandLabel(bands.back(), row.b), row.lastName);
  }
  EXPECT_TRUE(octaveBands(2, 48000).empty());
  EXPECT_EQ(bandLabel(thirds[14], 3), "315");
  EXPECT_EQ(bandLabel(thirds[15], 3), "400");
  EXPECT_EQ(bandLabel(thirds[4], 3), "31.5");
}

// Every band of every kind, at rates from 22.05 to 192 kHz, inside the
// class 1 limits at every breakpoint that lies where the input is measured
// (up to 0.4535 of its rate); the response in the middle of the band within
// 0.01 dB of 0.
TEST(OctaveFilterBank, EveryBandInsideTheClassOneLimits) {
  for (double rate : {22050.0, 32000.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    for (int b : {1, 3, 6, 12, 24}) {
      const OctaveFilterBank bank(b, rate);
      for (std::size_t j = 0; j < bank.bands().size(); ++j) {
        const double mid = bank.bands()[j].midHz, reference = bank.responseDb(j, mid);
        EXPECT_NEAR(reference, 0, 0.01) << "1/" << b << ", " << mid << " Hz at " << rate;
        for (const Limit& limit : kLimits) {
          for (double omega : {breakpoint(limit.exponent, b), 1 / breakpoint(limit.exponent, b)}) {
            const double hz = mid * omega;
            if (hz > kTopOfBands * rate) continue;
            const double attenuation = reference - bank.responseDb(j, hz);
            EXPECT_GE(attenuation, limit.min)
                << "1/" << b << ", " << mid << " Hz at " << rate << ", G^" << limit.exponent;
            EXPECT_LE(attenuation, limit.max)
                << "1/" << b << ", " << mid << " Hz at " << rate << ", G^" << limit.exponent;
          }
        }
      }
    }
  }
}

// Tones at the mid-band frequencies of every third band (an octave or
// more apart, so that each band holds one), 10 s each, through the filters
// and flushed: each band reads its tone's level within 0.1 dB. Then tones
// far above two bands, among them those that a decimator would fold onto
// their mid-band frequency (r - fm for each rate r the stages run at): every
// band they all lie beyond G^4 of holds them at least 70 dB down.
TEST(OctaveFilterBank, TonesReadInTheirBands) {
  for (double rate : {44100.0, 48000.0}) {
    for (int b : {1, 3}) {
      const std::vector<OctaveBand> layout = octaveBands(b, rate);
      for (std::size_t first = 0; first < 3; ++first) {
        std::vector<test::Partial> partials;
        for (std::size_t j = first; j < layout.size(); j += 3) partials.push_back({layout[j].midHz, 0.1});
        OctaveFilterBank bank(b, rate);
        const std::vector<float> x = test::tones(partials, rate, 10);
        bank.process(x.data(), x.size());
        bank.flush();
        for (std::size_t j = first; j < layout.size(); j += 3)
          EXPECT_NEAR(bank.leqDb(j), -20, 0.1) << "1/" << b << ", " << layout[j].midHz << " Hz at " << rate;
      }
      for (double target : {1000 / (kG * kG * kG), 1000.0}) {
        std::vector<test::Partial> partials{{0.33 * rate, 0.1}};
        for (double r = 2 * rate; r > target; r /= 2)
          if (r - target < kTopOfBands * rate && r - target > target * breakpoint(4, b))
            partials.push_back({r - target, 0.1});
        OctaveFilterBank bank(b, rate);
        const std::vector<float> x = test::tones(partials, rate, 4);
        bank.process(x.data(), x.size());
        const double allowed = -20 - 70 + 10 * std::log10(double(partials.size()));
        for (std::size_t j = 0; j < layout.size(); ++j) {
          const double beyond = layout[j].midHz * breakpoint(4, b);
          if (std::any_of(partials.begin(), partials.end(), [&](const test::Partial& p) { return p.hz < beyond; }))
            continue;
          EXPECT_LT(bank.leqDb(j), allowed) << "1/" << b << ", " << layout[j].midHz << " Hz at " << rate << ", "
                                            << partials.size() << " tones aimed at " << target << " Hz";
        }
      }
    }
  }
}

// Pink sound, steady, holds the same power in every third-octave band: each
// band from 50 Hz to 16 kHz (or as far as the rate reaches) reads it within
// 0.1 dB, at the rates from 22.05 to 96 kHz.
TEST(OctaveFilterBank, PinkSoundReadsFlatInThirdOctaves) {
  for (double rate : {22050.0, 44100.0, 48000.0, 96000.0}) {
    double perNeper = 0;
    const std::vector<float> period = test::pinkPeriod(rate, 1, 5, 0.45 * rate, perNeper);
    OctaveFilterBank bank(3, rate);
    // Two periods to settle, four measured.
    for (int i = 0; i < 2; ++i) bank.process(period.data(), period.size());
    bank.restart();
    for (int i = 0; i < 4; ++i) bank.process(period.data(), period.size());
    const double expected = 10 * std::log10(perNeper * std::log(kG) / 3) + 3.0103;
    for (std::size_t j = 0; j < bank.bands().size(); ++j) {
      const double mid = bank.bands()[j].midHz;
      if (mid < 49 || mid > 16500) continue;
      EXPECT_NEAR(bank.leqDb(j), expected, 0.1) << mid << " Hz at " << rate;
    }
  }
}

// Weighted bands read the weighting of their tone: the same tones at the
// octave bands' 125 Hz and 1 kHz, Z, A and C.
TEST(OctaveFilterBank, WeightedBands) {
  const double low = 1000 / kG;
  const std::vector<float> x = test::tones({{low, 0.1}, {1000, 0.1}}, 48000, 5);
  for (Weighting w : {Weighting::Z, Weighting::A, Weighting::C}) {
    OctaveFilterBank bank(1, 48000, w);
    bank.process(x.data(), x.size());
    bank.flush();
    const auto at = [&](double hz) -> double {
      for (std::size_t j = 0; j < bank.bands().size(); ++j)
        if (std::fabs(bank.bands()[j].midHz / hz - 1) < 0.1) return bank.leqDb(j);
      return NAN;
    };
    EXPECT_NEAR(at(low), -20 + weightingDb(w, low), 0.1) << weightingLetter(w);
    EXPECT_NEAR(at(1000), -20 + weightingDb(w, 1000), 0.1) << weightingLetter(w);
  }
}
