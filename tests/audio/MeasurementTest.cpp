// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A whole measurement through the component on the simulated loopback:
// the player plays the stimulus, the recorder captures it through the
// path, the devices' stamps give the origin, and the figures are the
// path's; a failing device is told apart; Stop ends it at once.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "audio/Measurement.h"
#include "dsp/Biquad.h"
#include "platform/FaultInjection.h"
#include "platform/ResultCodes.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"

using namespace audio;
using platform::sim::Pacing;
using platform::sim::SimAudioSystem;

namespace {

const measure::Settings kSweep{.seconds = 1, .levelDbfs = -6, .averages = 1, .rate = 44100};

TEST(Measurement, MeasuresTheLoopbacksPathThroughTheDevices) {
  const dsp::BiquadCoefficients peak = dsp::BiquadCoefficients::Peaking(2000, 1, 4, 44100);
  struct Case {
    measure::Settings settings;
    double delay;
  };
  for (const Case& c :
       {Case{kSweep, 333.33},
        Case{{.kind = measure::Settings::Kind::Noise, .levelDbfs = -6, .averages = 2, .rate = 44100}, 21.5}}) {
    SimAudioSystem sim;
    sim.setPacing(Pacing::Unpaced);
    sim.setLoopback({.gain = 0.8, .delay = c.delay, .biquad = peak, .noiseDbfs = -80});
    TAudio a(nullptr, &sim);
    TMeasurement m(a);
    bool finished = false;
    double progress = 0;
    m.OnProgress = [&](double p) { progress = p; };
    m.OnFinished = [&] { finished = true; };
    ASSERT_TRUE(m.Start(c.settings, -1, -1)) << m.Why();
    ASSERT_TRUE(quorvel_test::PumpUntil([&] { return finished; }));
    ASSERT_TRUE(m.Succeeded()) << m.Why();
    EXPECT_EQ(progress, 1.0);
    const measure::Result& r = m.Result();
    EXPECT_NEAR(r.delaySamples, c.delay, 0.05);
    for (const measure::ResponsePoint& p : r.response) {
      const std::complex<double> h = 0.8 * peak.response(p.hz, 44100);
      EXPECT_NEAR(p.magnitudeDb, 20 * std::log10(std::abs(h)), 0.2) << p.hz;
    }
  }
}

TEST(Measurement, ADeviceThatFailsIsNamedAndStopEndsAtOnce) {
  SimAudioSystem sim;
  sim.setPacing(Pacing::Clock);
  sim.setLoopback({});
  platform::FaultInjection faults(sim);
  faults.failCall(platform::AudioCall::waveOutOpen, platform::MMSYSERR_ALLOCATED);
  TAudio a(nullptr, &faults);
  TMeasurement m(a);
  EXPECT_FALSE(m.Start(kSweep, -1, -1));
  EXPECT_TRUE(m.DeviceFailed());
  EXPECT_TRUE(m.Why().starts_with("the output device failed: ")) << m.Why();
  EXPECT_FALSE(a.Recorder->DeviceOpen);

  faults.clearFaults();
  bool finished = false;
  m.OnFinished = [&] { finished = true; };
  ASSERT_TRUE(m.Start(kSweep, -1, -1)) << m.Why();
  m.Stop();
  EXPECT_TRUE(finished);
  EXPECT_FALSE(m.Succeeded());
  EXPECT_FALSE(a.Player->DeviceOpen);
  EXPECT_FALSE(a.Recorder->DeviceOpen);
}

}  // namespace
