// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The analyser against an independent reference: a direct DFT in double
// precision of the windowed samples, and the level formulas applied by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/FFT_Unit.h"

using namespace analysis;

namespace {

constexpr double kPi = std::numbers::pi;

// Every point a frame sends, in order.
std::vector<ScopePoint> g_sent;
void Record(std::int32_t, const ScopePoint* p) { g_sent.push_back(*p); }

struct Reference {
  std::vector<double> levels = std::vector<double>(kPowerBins, -65.0);
  std::vector<double> weights = [] {
    std::vector<double> w(kPowerBins);
    for (int k = 0; k < kPowerBins; ++k) w[k] = static_cast<float>(0.5 + k * 0.000390625);
    return w;
  }();
  std::vector<double> amplitude = std::vector<double>(kPowerBins);

  // The same frame, computed directly from the unwindowed samples.
  void frame(const std::vector<double>& x, int noSamples) {
    for (int k = 0; k < kPowerBins; ++k) {
      std::complex<double> sum = 0;
      for (int n = 0; n < kFFTPoints; ++n) {
        const double w = 0.54 - 0.46 * std::cos(2 * kPi * n / 2047);
        sum += x[n] * w * std::polar(1.0, -2 * kPi * k * n / kFFTPoints);
      }
      const double a = std::abs(sum) / (noSamples >> 1) * 1.85;
      amplitude[k] = a;
      const double L = a > 0 ? 20 * std::log10(a) : static_cast<double>(kSilenceFloorDb);
      levels[k] = L * weights[k] + levels[k] * (1 - weights[k]);
    }
  }
};

class Spectrum : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFT_Init());
    g_sent.clear();
    g_sent.reserve(kFramePoints * 4);
  }
  void TearDown() override { FFT_Free(); }

  // Loads a block, runs one frame, returns its points.
  std::vector<ScopePoint> run(const std::vector<double>& block, int noSamples = 2048) {
    for (std::size_t i = 0; i < block.size(); ++i) StoreSample(static_cast<int>(i), static_cast<float>(block[i]));
    FFT_Spectrum();
    g_sent.clear();
    SpectrumFrame(PowerBuffer, static_cast<std::uint16_t>(noSamples), &Record, 7, point);
    return g_sent;
  }
  ScopePoint point{};
};

std::vector<double> Sine(double bin, double amplitude, double phase = 0) {
  std::vector<double> x(kFFTPoints);
  for (int n = 0; n < kFFTPoints; ++n) x[n] = amplitude * std::sin(2 * kPi * bin * n / kFFTPoints + phase);
  return x;
}

TEST_F(Spectrum, FrameHasMarkerHeaderAndOneThousandTwentyFourBins) {
  const auto p = run(Sine(100, 0.5));
  ASSERT_EQ(p.size(), 1044u);
  EXPECT_EQ(p[0].Value[0], 1000000000.0);
  EXPECT_EQ(p[0].Value[1], 0);
  for (int i = 1; i < 20; ++i) {
    EXPECT_EQ(p[i].Value[0], 0);
    EXPECT_EQ(p[i].Value[1], 0);
    EXPECT_EQ(p[i].Value[2], 0);
  }
  for (int i = 20; i < 1044; ++i) EXPECT_EQ(p[i].Value[2], 0);
  // The point the window keeps is the last bin's.
  EXPECT_EQ(point.Value[0], p.back().Value[0]);
}

TEST_F(Spectrum, MatchesDirectDftOverManyFrames) {
  Reference ref;
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> uni(-1, 1);
  for (int frame = 0; frame < 24; ++frame) {
    std::vector<double> x(kFFTPoints);
    switch (frame % 4) {
      case 0:
        for (auto& v : x) v = static_cast<float>(uni(rng));
        break;
      case 1:
        x = Sine(37.3 + frame, 0.7, frame);
        break;
      case 2:
        for (int n = 0; n < kFFTPoints; ++n) x[n] = (n / 64) % 2 ? 0.5 : -0.5;
        break;
      case 3:
        for (auto& v : x) v = static_cast<float>(uni(rng) * 3.0 / 32768);
        break;  // near silence
    }
    for (auto& v : x) v = static_cast<float>(v);  // what the block handler stores
    const auto p = run(x);
    ref.frame(x, 2048);
    double strongest = -1e9;
    for (double a : ref.amplitude) strongest = std::max(strongest, a > 0 ? 20 * std::log10(a) : -1e9);
    for (int k = 0; k < kPowerBins; ++k) {
      const double binDb = ref.amplitude[k] > 0 ? 20 * std::log10(ref.amplitude[k]) : -1e9;
      if (binDb < strongest - 60) {
        // Single precision limits the dynamic range: this bin is not compared,
        // and the reference carries the analyser's level forward from here.
        ref.levels[k] = p[20 + k].Value[0];
        continue;
      }
      ASSERT_NEAR(p[20 + k].Value[0], ref.levels[k], 0.05) << "frame " << frame << " bin " << k;
      ASSERT_NEAR(p[20 + k].Value[1], ref.amplitude[k] * 100 - 100, 1e-3 * (1 + ref.amplitude[k] * 100));
    }
  }
}

TEST_F(Spectrum, FullScaleSineAtABinSettlesToZeroDb) {
  const int k = 93;  // about 2 kHz
  std::vector<ScopePoint> p;
  for (int frame = 0; frame < 30; ++frame) p = run(Sine(k, 1.0));
  // 1.85 undoes the window's coherent gain (0.5398) to about -0.012 dB.
  EXPECT_NEAR(p[20 + k].Value[0], 0.0, 0.05);
  EXPECT_NEAR(p[20 + k].Value[1], 0.0, 0.5);
  int strongest = 0;
  for (int b = 0; b < kPowerBins; ++b)
    if (p[20 + b].Value[0] > p[20 + strongest].Value[0]) strongest = b;
  EXPECT_EQ(strongest, k);
}

TEST_F(Spectrum, FirstFrameMovesFromTheStartingLevelByTheBinsWeight) {
  // A constant makes bin 0 loud; a tone near the top makes bin 1023 loud.
  std::vector<double> x(kFFTPoints);
  for (int n = 0; n < kFFTPoints; ++n) x[n] = static_cast<float>(0.25 + 0.25 * std::cos(kPi * 1023 * n / 1024));
  Reference ref;
  ref.frame(x, 2048);
  const auto p = run(x);
  const double L0 = 20 * std::log10(ref.amplitude[0]);
  const double L1023 = 20 * std::log10(ref.amplitude[1023]);
  EXPECT_NEAR(p[20].Value[0], -65 + 0.5 * (L0 + 65), 0.05);
  EXPECT_NEAR(p[20 + 1023].Value[0], -65 + static_cast<float>(0.5 + 1023 * 0.000390625) * (L1023 + 65), 0.05);
  // The smoothing carries over to the next frame (and a next capture run).
  const auto q = run(x);
  EXPECT_NEAR(q[20].Value[0], p[20].Value[0] + 0.5 * (L0 - p[20].Value[0]), 0.05);
}

TEST_F(Spectrum, DigitalSilenceShowsTheFloorWithoutFailing) {
  std::vector<ScopePoint> p;
  for (int frame = 0; frame < 40; ++frame) p = run(std::vector<double>(kFFTPoints, 0.0));
  for (int k = 0; k < kPowerBins; ++k) {
    ASSERT_TRUE(std::isfinite(p[20 + k].Value[0]));
    ASSERT_NEAR(p[20 + k].Value[0], static_cast<double>(kSilenceFloorDb), 1.0);
    ASSERT_EQ(p[20 + k].Value[1], -100.0);
  }
  // Too short a block to divide by: still finite.
  g_sent.clear();
  SpectrumFrame(PowerBuffer, 1, &Record, 7, point);
  EXPECT_EQ(g_sent.size(), 1044u);
}

TEST_F(Spectrum, ShortBlockKeepsTheWindowedTailAndDividesByItsLength) {
  run(Sine(10, 0.5));
  // The first frame windowed the whole buffer in place: the tail now holds
  // windowed samples, which the next, shorter block leaves as they are.
  std::vector<float> tail(SampleBuffer + 1024, SampleBuffer + kFFTPoints);
  const auto full = run(std::vector<double>(1024, 0.0), 1024);
  (void)full;
  // After the second frame the tail has been windowed once more.
  for (int n = 1024; n < kFFTPoints; ++n) {
    const float w = static_cast<float>(0.54 - 0.46 * std::cos(2 * kPi * n / 2047));
    ASSERT_FLOAT_EQ(SampleBuffer[n], tail[n - 1024] * w);
  }
  // The divisor follows NoSamples: the same power reads 6 dB higher at half
  // the length.
  std::vector<float> values(kPowerBins, 4.0f);
  g_sent.clear();
  SpectrumFrame(values.data(), 2048, &Record, 7, point);
  const double a2048 = g_sent[20].Value[1];
  g_sent.clear();
  SpectrumFrame(values.data(), 1024, &Record, 7, point);
  EXPECT_NEAR((g_sent[20].Value[1] + 100), 2 * (a2048 + 100), 1e-9);
}

TEST_F(Spectrum, LongBlockIsCutToTheBuffer) {
  const float before = SampleBuffer[kFFTPoints - 1];
  EXPECT_EQ(StoreSample(kFFTPoints, 0.5f), 0.5f);
  EXPECT_EQ(StoreSample(5000, 0.25f), 0.25f);
  EXPECT_EQ(SampleBuffer[kFFTPoints - 1], before);
  // Only 2048 samples were transformed, so a longer block reads as 2048 do.
  std::vector<float> values(kPowerBins, 4.0f);
  SpectrumFrame(values.data(), 2048, &Record, 7, point);
  const double a2048 = g_sent[20].Value[1];
  g_sent.clear();
  SpectrumFrame(values.data(), 4096, &Record, 7, point);
  EXPECT_EQ(g_sent[20].Value[1], a2048);
}

TEST_F(Spectrum, WithoutAScopeTheLevelsStillMoveAndNothingIsSent) {
  run(Sine(50, 0.5));
  const float level = LevelSmoothing[50].Level;
  g_sent.clear();
  SpectrumFrame(PowerBuffer, 2048, nullptr, 7, point);
  EXPECT_TRUE(g_sent.empty());
  EXPECT_NE(LevelSmoothing[50].Level, level);
}

}  // namespace

// A microphone's response, read at each bin's frequency, comes off that
// bin's level and amplitude from the next frame on, held at the file's end
// values beyond its points; none again gives the levels as they were.
TEST_F(Spectrum, MicrophoneResponseComesOffEachBin) {
  const int k = 93;  // 2002.6 Hz at 44.1 kHz
  dsp::MicrophoneCorrection microphone{{100, 1000, 4000}, {0, 1, 4}, std::nullopt};
  const double response = 1 + 3 * std::log(k * 44100.0 / kFFTPoints / 1000) / std::log(4.0);  // about 2.5 dB
  const std::vector<double> x = Sine(k, 0.5);
  std::vector<ScopePoint> plain;
  for (int frame = 0; frame < 30; ++frame) plain = run(x);
  SetMicrophone(&microphone, 44100);
  const std::vector<ScopePoint> corrected = run(x);
  SetMicrophone(nullptr, 0);
  const std::vector<ScopePoint> again = run(x);
  ASSERT_EQ(corrected.size(), size_t(kFramePoints));
  EXPECT_NEAR(corrected[20 + k].Value[0], plain[20 + k].Value[0] - response, 1e-3);
  EXPECT_NEAR(corrected[20 + k].Value[1] + 100, (plain[20 + k].Value[1] + 100) * std::pow(10, -response / 20), 1e-3);
  EXPECT_NEAR(corrected[20 + 4].Value[0], plain[20 + 4].Value[0], 1e-3) << "below 100 Hz: 0 dB held";
  EXPECT_NEAR(corrected[20 + 1000].Value[0], plain[20 + 1000].Value[0] - 4, 1e-3) << "above 4 kHz: 4 dB held";
  for (int b = 0; b < kPowerBins; ++b) ASSERT_NEAR(again[20 + b].Value[0], plain[20 + b].Value[0], 1e-3) << b;
}
