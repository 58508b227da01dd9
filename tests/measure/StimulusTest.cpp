// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The generator's signals against their known answers: levels in AES17
// dBFS, frequencies held exactly over hours, pink noise's slope, sweeps'
// ends, the same samples in blocks of any size, and TPDF dither's error.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "measure/Level.h"
#include "measure/Noise.h"
#include "measure/Quantizer.h"
#include "measure/TransformPair.h"
#include "measure/Sweep.h"
#include "measure/Tone.h"

using namespace measure;

namespace {

constexpr unsigned kRate = 44100;

std::vector<float> Render(Stimulus& s, std::size_t n) {
  std::vector<float> out(n);
  s.render(out.data(), n);
  return out;
}

double Rms(const std::vector<float>& x) {
  double sum = 0;
  for (float v : x) sum += static_cast<double>(v) * v;
  return std::sqrt(sum / static_cast<double>(x.size()));
}

struct Make {
  const char* name;
  std::function<std::unique_ptr<Stimulus>()> make;
};

const Make kStimuli[] = {
    {"sine", [] { return std::make_unique<Tone>(Tone::Shape::Sine, 997, -20, kRate); }},
    {"square", [] { return std::make_unique<Tone>(Tone::Shape::Square, 441, -6, kRate); }},
    {"burst", [] { return std::make_unique<Tone>(Tone::Shape::Burst, 1000, -10, kRate, 0, 3, 5); }},
    {"log sweep", [] { return std::make_unique<Sweep>(Sweep::Law::Exponential, 20, 20000, 1, -3, kRate); }},
    {"linear sweep", [] { return std::make_unique<Sweep>(Sweep::Law::Linear, 20, 20000, 1, -3, kRate); }},
    {"white noise", [] { return std::make_unique<Noise>(Noise::Colour::White, -20, kRate, 0, 1 << 14); }},
    {"pink noise", [] { return std::make_unique<Noise>(Noise::Colour::Pink, -20, kRate, 0, 1 << 14); }},
};

// Rendered in blocks of any size, a signal is the same sample for sample:
// nothing is lost or repeated at a seam, and a rewind starts it again.
TEST(Stimulus, BlocksOfAnySizeGiveTheSameSamples) {
  std::mt19937 sizes(3);
  for (const Make& m : kStimuli) {
    std::unique_ptr<Stimulus> whole = m.make(), pieces = m.make();
    const std::vector<float> expected = Render(*whole, 50000);
    std::vector<float> got;
    while (got.size() < expected.size()) {
      const std::size_t n = std::min<std::size_t>(sizes() % 3000 + 1, expected.size() - got.size());
      const std::vector<float> block = Render(*pieces, n);
      got.insert(got.end(), block.begin(), block.end());
    }
    EXPECT_EQ(got, expected) << m.name;
    pieces->rewind();
    EXPECT_EQ(Render(*pieces, 1000), std::vector<float>(expected.begin(), expected.begin() + 1000)) << m.name;
  }
}

// AES17: the RMS value against a full-scale sine's. A sine at 0 dBFS
// peaks at full scale, a square at 0 dBFS at 0.707 of it.
TEST(Stimulus, LevelsAreAes17Dbfs) {
  struct Case {
    const char* name;
    std::unique_ptr<Stimulus> s;
    double dbfs, peak;
  };
  Case cases[] = {
      {"sine", std::make_unique<Tone>(Tone::Shape::Sine, 1000, -20, kRate), -20, 0.1},
      {"full-scale sine", std::make_unique<Tone>(Tone::Shape::Sine, 1000, 0, kRate), 0, 1.0},
      {"square", std::make_unique<Tone>(Tone::Shape::Square, 1000, -6.02, kRate), -6.02, 0},
      {"white", std::make_unique<Noise>(Noise::Colour::White, -23.45, kRate, 0, 1 << 16), -23.45, 0},
      {"pink", std::make_unique<Noise>(Noise::Colour::Pink, -12.5, kRate, 0, 1 << 16), -12.5, 0},
  };
  for (Case& c : cases) {
    // Whole periods: 4410 samples hold 100 cycles of 1 kHz; 65536 one noise period.
    const std::vector<float> x = Render(*c.s, c.name[0] == 'w' || c.name[0] == 'p' ? 65536 : 44100);
    EXPECT_NEAR(DbfsOfRms(Rms(x)), c.dbfs, 0.005) << c.name;
    if (c.peak > 0) {
      float peak = 0;
      for (float v : x) peak = std::max(peak, std::abs(v));
      EXPECT_NEAR(peak, c.peak, 1e-4) << c.name;
    }
  }
}

// The phase comes from the sample index in whole numbers, so the tone is
// where the formula puts it, to the float's precision, however long it runs
// (here 0.01 Hz steps, a million samples in).
TEST(Stimulus, ToneIsExactSampleForSample) {
  Tone tone(Tone::Shape::Sine, 997.13, 0, kRate);
  std::vector<float> skip(1 << 16);
  for (int k = 0; k < 16; ++k) tone.render(skip.data(), skip.size());
  const std::vector<float> x = Render(tone, 100);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const std::uint64_t n = 16 * skip.size() + i;
    const long double cycles = 99713.0L * n / (100.0L * kRate);
    EXPECT_NEAR(x[i], std::sin(2 * std::numbers::pi_v<long double> * (cycles - std::floor(cycles))), 2e-7) << i;
  }
}

// Pink noise falls 3 dB per octave: every octave band holds the same
// power, within 0.5 dB, from 20 Hz to 20 kHz; white noise's power per
// octave doubles (+3 dB per octave).
TEST(Stimulus, NoiseSpectraFollowTheirSlopes) {
  for (Noise::Colour colour : {Noise::Colour::Pink, Noise::Colour::White}) {
    const std::size_t n = 1 << 18;
    Noise noise(colour, -20, kRate, 0, n);
    TransformPair fft(n);
    noise.render(fft.time(), n);
    fft.forward();
    const double binHz = static_cast<double>(kRate) / n;
    auto bandDb = [&](double lo) {
      double sum = 0;
      for (std::size_t k = static_cast<std::size_t>(std::ceil(lo / binHz)); k * binHz < 2 * lo; ++k)
        sum += std::norm(std::complex<double>(fft.spectrum()[k]));
      return 10 * std::log10(sum);
    };
    const double first = bandDb(20);
    for (double lo = 20; lo * 2 <= 20000 * 1.01; lo *= 2) {
      const double octaves = std::log2(lo / 20);
      const double expected = first + (colour == Noise::Colour::White ? 3.0103 * octaves : 0.0);
      EXPECT_NEAR(bandDb(lo), expected, 0.5) << (colour == Noise::Colour::Pink ? "pink " : "white ") << lo << " Hz";
    }
  }
}

// A sweep starts and ends at its frequencies, at phase 0 for the
// synchronised logarithmic one, and lasts as long as asked (the
// logarithmic one within ln(f2/f1) / (2 f1): its rate is rounded to whole
// cycles of f1).
TEST(Stimulus, SweepsRunBetweenTheirFrequencies) {
  for (Sweep::Law law : {Sweep::Law::Exponential, Sweep::Law::Linear}) {
    Sweep s(law, 100, 10000, 2, 0, kRate);
    EXPECT_NEAR(static_cast<double>(s.frames()) / kRate, 2.0, std::log(100.0) / 200) << static_cast<int>(law);
    EXPECT_NEAR(s.frequencyAt(0), 100, 1e-9);
    EXPECT_NEAR(s.frequencyAt(static_cast<double>(s.frames()) / kRate), 10000, 10000 * 1e-4);
    const std::vector<float> x = Render(s, s.frames() + 10);
    EXPECT_EQ(x[0], 0.0f);
    for (std::size_t i = s.frames(); i < x.size(); ++i) EXPECT_EQ(x[i], 0.0f);
  }
}

// Without dither a sample is rounded to the nearest step; with TPDF dither
// the error has no mean, a variance of 1/4 step squared (1/12 from the
// rounding, 1/6 from the dither) whatever the signal, and does not follow
// the signal.
TEST(Stimulus, TpdfDitherMakesTheErrorSteadyNoise) {
  Quantizer plain;
  EXPECT_EQ(plain(0.5f / 32768 * 2.9f), 1);
  EXPECT_EQ(plain(1.0f), 32767);
  EXPECT_EQ(plain(-1.5f), -32768);
  Quantizer dithered(true);
  for (double dc : {0.0, 0.25, 0.5}) {  // steps: the worst case for plain rounding is a constant
    double sum = 0, sumSq = 0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
      const double e = dithered(static_cast<float>((100 + dc) / 32768)) - (100 + dc);
      sum += e;
      sumSq += e * e;
    }
    EXPECT_NEAR(sum / n, 0, 0.01) << dc;
    EXPECT_NEAR(sumSq / n - (sum / n) * (sum / n), 0.25, 0.01) << dc;
  }
}

}  // namespace
