// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The measurement's figures against known answers: the stimulus goes
// through the simulated loopback's path (LoopbackPath: gain, delay, biquad,
// polynomial, noise, clock ratio), 16-bit at both ends as through the
// devices, and each figure is checked against the path that was set. One
// table per figure.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "dsp/Biquad.h"
#include "measure/Analysis.h"
#include "measure/Plan.h"
#include "measure/Quantizer.h"
#include "platform/sim/LoopbackPath.h"

using namespace measure;
using platform::sim::LoopbackPath;

namespace {

constexpr unsigned kRate = 44100;

// Plays the plan through the path into an input that started `origin`
// samples before the output, and analyses what came back.
Result Measure(const Settings& settings, const LoopbackPath& path, std::size_t origin = 1234) {
  const Plan plan(settings);
  std::vector<float> played(plan.frames());
  plan.makeStimulus()->render(played.data(), played.size());
  Quantizer out;
  for (float& v : played) v = out(v) / 32768.0f;
  const auto count =
      static_cast<std::size_t>(static_cast<double>(origin + plan.frames()) * std::max(1.0, path.clockRatio)) + 1000;
  const std::vector<double> back = platform::sim::RunLoopback(path, played, origin, count);
  std::vector<float> captured(count);
  for (std::size_t i = 0; i < count; ++i)
    captured[i] = static_cast<float>(std::clamp(std::nearbyint(back[i] * 32768.0), -32768.0, 32767.0) / 32768.0);
  Result r;
  std::string why;
  EXPECT_TRUE(Analyse(plan, {captured.data(), captured.size(), static_cast<double>(origin)}, r, why)) << why;
  return r;
}

Settings Sweep(double seconds = 2, int averages = 1) {
  return {.kind = Settings::Kind::Sweep, .seconds = seconds, .levelDbfs = -6, .averages = averages, .rate = kRate};
}
Settings PinkNoise() { return {.kind = Settings::Kind::Noise, .levelDbfs = -6, .averages = 4, .rate = kRate}; }

// The phase a reading should have, -180 ... 180, against what it has.
double PhaseError(double gotDeg, std::complex<double> expected) {
  return std::remainder(gotDeg - std::arg(expected) * 180 / std::numbers::pi, 360.0);
}

// The delay: the whole samples exact and the fraction within 0.05 sample
// at 40 dB signal-to-noise ratio, for both stimuli, near and far, and
// with the path's clock off (the drift corrected first).
TEST(Analysis, DelayIsFoundToAFractionOfASample) {
  struct Case {
    const char* name;
    Settings settings;
    double delay, clockRatio;
  };
  const Case cases[] = {
      {"sweep, none", Sweep(), 0, 1},
      {"sweep, fraction", Sweep(), 37.31, 1},
      {"sweep, far", Sweep(), 4321.77, 1},
      {"sweep, clock 100 ppm slow", Sweep(), 512.5, 0.9999},
      {"noise, fraction", PinkNoise(), 37.31, 1},
      {"noise, far", PinkNoise(), 9876.02, 1},
  };
  for (const Case& c : cases) {
    const Result r = Measure(c.settings, {.delay = c.delay, .noiseDbfs = -46, .clockRatio = c.clockRatio});
    EXPECT_NEAR(r.delaySamples, c.delay, 0.05) << c.name;
    EXPECT_NEAR(r.delayMs, c.delay / kRate * 1000, 0.05 / kRate * 1000) << c.name;
  }
}

// Through a known biquad and gain: magnitude within 0.1 dB and phase
// within 1 degree from 20 Hz to 20 kHz (the sweep; the noise within 0.2 dB
// and 1 degree: its pink spectrum leaves the top octaves fewer bits); the
// group delay is the biquad's.
TEST(Analysis, ResponseIsTheFiltersResponse) {
  struct Case {
    const char* name;
    Settings settings;
    dsp::BiquadCoefficients biquad;
    double gain, magnitudeDb, phaseDeg;
  };
  const Case cases[] = {
      {"sweep, peak", Sweep(), dsp::BiquadCoefficients::Peaking(1000, 2, 6, kRate), 0.5, 0.1, 1},
      {"sweep, low-pass", Sweep(), dsp::BiquadCoefficients::LowPass(5000, 0.7, kRate), 1, 0.1, 1},
      {"sweep, high-pass", Sweep(), dsp::BiquadCoefficients::HighPass(80, 1.2, kRate), 1, 0.1, 1},
      {"sweep, dip", Sweep(), dsp::BiquadCoefficients::Peaking(12000, 4, -12, kRate), 1.2, 0.1, 1},
      {"noise, peak", PinkNoise(), dsp::BiquadCoefficients::Peaking(1000, 2, 6, kRate), 0.5, 0.2, 1},
  };
  for (const Case& c : cases) {
    const Result r = Measure(c.settings, {.gain = c.gain, .delay = 100.25, .biquad = c.biquad});
    ASSERT_GE(r.response.size(), 48u * 10) << c.name;
    for (const ResponsePoint& p : r.response) {
      const std::complex<double> h = c.gain * c.biquad.response(p.hz, kRate);
      EXPECT_NEAR(p.magnitudeDb, 20 * std::log10(std::abs(h)), c.magnitudeDb) << c.name << " " << p.hz << " Hz";
      EXPECT_NEAR(PhaseError(p.phaseDeg, h), 0, c.phaseDeg) << c.name << " " << p.hz << " Hz";
      // -d arg H / dw, from the formula's phase a thousandth either side.
      const double d = p.hz * 1e-3;
      const double turn = std::arg(c.biquad.response(p.hz + d, kRate) * std::conj(c.biquad.response(p.hz - d, kRate)));
      EXPECT_NEAR(p.groupDelayMs, -turn / (2 * std::numbers::pi * 2 * d) * 1000,
                  0.05 + 0.002 * std::abs(p.groupDelayMs))
          << c.name << " " << p.hz << " Hz";
      if (c.settings.kind == Settings::Kind::Noise)
        EXPECT_GT(p.coherence, 0.99) << c.name << " " << p.hz << " Hz";
      else
        EXPECT_TRUE(std::isnan(p.coherence)) << c.name;
    }
  }
}

// y = x + 0.01 x^2 + 0.001 x^3 through a 10 s sweep at -3 dBFS: H2 and H3
// within 0.5 dB of their levels from 50 Hz to 5 kHz, and THD with them.
// (H3 lies 81 dB under the fundamental there, a few steps of the 16-bit
// capture.)
TEST(Analysis, HarmonicsHaveTheirLevels) {
  struct Case {
    const char* name;
    double level;
    std::vector<double> polynomial;
  };
  const Case cases[] = {
      {"x + 0.01 x^2 + 0.001 x^3", -3, {0, 1, 0.01, 0.001}},
      {"x - 0.03 x^3, at -10 dBFS", -10, {0, 1, 0, -0.03}},
  };
  for (const Case& c : cases) {
    Settings settings = Sweep(10);
    settings.levelDbfs = c.level;
    const Result r = Measure(settings, {.delay = 7.5, .polynomial = c.polynomial});
    const double a = std::pow(10.0, c.level / 20);
    const double a2 = c.polynomial.size() > 2 ? c.polynomial[2] : 0, a3 = c.polynomial.size() > 3 ? c.polynomial[3] : 0;
    const double fundamental = a * (1 + 0.75 * a3 * a * a);
    const double h2 = std::abs(a2 * a * a / 2 / fundamental), h3 = std::abs(a3 * a * a * a / 4 / fundamental);
    for (const DistortionPoint& d : r.distortion) {
      if (d.hz < 50 || d.hz > 5000) continue;
      if (h2 > 0) {
        EXPECT_NEAR(d.harmonicDb[0], 20 * std::log10(h2), 0.5) << c.name << " " << d.hz << " Hz";
      }
      EXPECT_NEAR(d.harmonicDb[1], 20 * std::log10(h3), 0.5) << c.name << " " << d.hz << " Hz";
      EXPECT_NEAR(d.thdPercent, 100 * std::hypot(h2, h3), 100 * std::hypot(h2, h3) * 0.07) << c.name << " " << d.hz;
    }
  }
}

// The clock drift: reported within 5 ppm, and corrected so that the
// delay, the magnitude and the phase hold as without it (one sweep reads
// it from the delay's rise through the sweep, two or more from their
// arrivals, noise from period to period).
TEST(Analysis, DriftIsReportedAndCorrected) {
  const dsp::BiquadCoefficients peak = dsp::BiquadCoefficients::Peaking(3000, 1.5, 5, kRate);
  struct Case {
    const char* name;
    Settings settings;
    double ratio;
  };
  const Case cases[] = {
      {"one sweep, input fast", Sweep(), 1.0001},
      {"one sweep, input slow", Sweep(), 0.9999},
      {"two sweeps, input fast", Sweep(2, 2), 1.0001},
      {"noise, input slow", PinkNoise(), 0.9999},
  };
  for (const Case& c : cases) {
    const Result r = Measure(c.settings, {.delay = 250.75, .biquad = peak, .clockRatio = c.ratio});
    EXPECT_NEAR(r.driftPpm, (c.ratio - 1) * 1e6, 5) << c.name;
    EXPECT_NEAR(r.delaySamples, 250.75, 0.05) << c.name;
    const bool noise = c.settings.kind == Settings::Kind::Noise;
    for (const ResponsePoint& p : r.response) {
      const std::complex<double> h = peak.response(p.hz, kRate);
      EXPECT_NEAR(p.magnitudeDb, 20 * std::log10(std::abs(h)), noise ? 0.2 : 0.1) << c.name << " " << p.hz << " Hz";
      EXPECT_NEAR(PhaseError(p.phaseDeg, h), 0, 1) << c.name << " " << p.hz << " Hz";
    }
  }
}

// The signal-to-noise ratio: the response's power over the input's own
// noise, read before anything played came back.
TEST(Analysis, SignalToNoiseRatioIsTheInputsNoiseAgainstTheResponse) {
  struct Case {
    Settings settings;
    double noiseDbfs, gain;
  };
  const Case cases[] = {{Sweep(), -46, 1}, {Sweep(), -70, 0.5}, {PinkNoise(), -56, 1}};
  for (const Case& c : cases) {
    const Result r = Measure(c.settings, {.gain = c.gain, .delay = 3, .noiseDbfs = c.noiseDbfs});
    // -6 dBFS through the gain, against the noise (both AES17).
    EXPECT_NEAR(r.snrDb, -6 + 20 * std::log10(c.gain) - c.noiseDbfs, 0.5) << c.noiseDbfs;
  }
}

}  // namespace
