// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The player playing a generated stream on the simulated device: every
// sample of the signal reaches the device, no gap or repeat at a buffer's
// seam, one OnBufferPlayed per buffer; and with the device looped back,
// the recorder captures exactly what the path makes of what was played,
// from the origin the simulated system reports.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "audio/GeneratedStream.h"
#include "measure/Quantizer.h"
#include "measure/Sweep.h"
#include "measure/Tone.h"
#include "platform/sim/LoopbackPath.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"

using namespace audio;
using platform::sim::Pacing;
using platform::sim::SimAudioSystem;

namespace {

std::vector<std::int16_t> Expected(measure::Stimulus& s, std::size_t frames, int channels, bool dither) {
  std::vector<float> x(frames);
  s.render(x.data(), frames);
  measure::Quantizer q(dither);
  std::vector<std::int16_t> out;
  for (float v : x)
    for (int c = 0; c < channels; ++c) out.push_back(q(v));
  return out;
}

std::vector<std::int16_t> Samples(const std::vector<platform::BYTE>& bytes) {
  std::vector<std::int16_t> out(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

TEST(GeneratedPlay, EverySampleReachesTheDeviceInBuffersOfThePlayer) {
  struct Case {
    int channels;
    bool dither;
    double seconds;
  };
  for (const Case& c : {Case{1, false, 1.0}, Case{2, true, 0.77}}) {
    SimAudioSystem sim;
    sim.setPacing(Pacing::Unpaced);
    TAudio a(nullptr, &sim);
    audio_test::ApplyMainWindowSettings(a);
    a.Player->SetChannels(c.channels == 2 ? TChannels::Stereo : TChannels::Mono);
    int buffers = 0, played = 0;
    a.OnBufferPlayed = [&](TObject*) { ++buffers; };
    a.OnPlayed = [&](TObject*) { ++played; };
    auto tone = [&] {
      return std::make_unique<measure::Tone>(measure::Tone::Shape::Sine, 1234.56, -3, 44100, c.seconds);
    };
    auto stream = std::make_unique<TGeneratedStream>(tone(), c.channels, c.dither);
    ASSERT_TRUE(a.Player->Play(std::move(stream), 0, 1));  // one loop: the signal twice
    ASSERT_TRUE(quorvel_test::PumpUntil([&] { return played == 1 && !a.Player->Active.load(); }));
    const auto frames = static_cast<std::size_t>(c.seconds * 44100 + 0.5);
    std::vector<std::int16_t> expected = Expected(*tone(), frames, c.channels, c.dither);
    if (c.dither) {
      // The dither goes on across the loop: the second pass is the signal
      // again with the next dither values.
      std::vector<float> x(frames);
      tone()->render(x.data(), frames);
      x.insert(x.end(), x.begin(), x.end());
      measure::Quantizer q(true);
      expected.clear();
      for (float v : x)
        for (int ch = 0; ch < c.channels; ++ch) expected.push_back(q(v));
    } else {
      expected.insert(expected.end(), expected.begin(), expected.end());
    }
    EXPECT_EQ(Samples(sim.playedBytes()), expected) << c.channels;
    // Each pass ends with a short buffer of its own.
    const std::size_t perBuffer = a.Player->NoSamples;
    EXPECT_EQ(buffers, static_cast<int>(2 * ((frames + perBuffer - 1) / perBuffer))) << c.channels;
  }
}

TEST(GeneratedPlay, ALoopedBackRecorderCapturesThePathOfWhatWasPlayed) {
  SimAudioSystem sim;
  sim.setPacing(Pacing::Unpaced);
  const platform::sim::LoopbackPath path{
      .gain = 0.7, .delay = 57.25, .biquad = dsp::BiquadCoefficients::LowPass(5000, 0.7, 44100), .noiseDbfs = -80};
  sim.setLoopback(path);
  TAudio a(nullptr, &sim);
  audio_test::ApplyMainWindowSettings(a);
  a.Recorder->Triggered = true;
  std::vector<std::int16_t> captured;
  a.OnRecord = [&](TObject*, void* LP, void*, platform::WORD bytes) {
    const auto* s = static_cast<const std::int16_t*>(LP);
    captured.insert(captured.end(), s, s + bytes / 2);
  };
  bool played = false;
  a.OnPlayed = [&](TObject*) { played = true; };
  auto sweep = [] {
    return std::make_unique<measure::Sweep>(measure::Sweep::Law::Exponential, 50, 15000, 0.5, -6, 44100);
  };
  ASSERT_TRUE(a.Recorder->Start()) << a.ErrorMessage;
  ASSERT_TRUE(a.Player->Play(std::make_unique<TGeneratedStream>(sweep(), 1, false)));
  const std::size_t frames = sweep()->frames();
  // The recorder's buffers are read on this thread only once it has
  // stopped: the wait watches the device's own count, a ring of buffers
  // (4 x 2048 frames) ahead of what has been delivered.
  ASSERT_TRUE(quorvel_test::PumpUntil([&] {
    return played && sim.loopbackOrigin() >= 0 &&
           sim.framesProduced() > static_cast<std::uint64_t>(sim.loopbackOrigin()) + frames + 200 + 4 * 2048;
  }));
  ASSERT_TRUE(a.Recorder->Stop());
  const auto origin = static_cast<std::size_t>(sim.loopbackOrigin());

  std::vector<float> playedSamples;
  for (std::int16_t v : Expected(*sweep(), frames, 1, false)) playedSamples.push_back(v / 32768.0f);
  const std::vector<double> path16 = platform::sim::RunLoopback(path, playedSamples, origin, captured.size());
  std::vector<std::int16_t> expected;
  for (double v : path16) expected.push_back(static_cast<std::int16_t>(std::nearbyint(v * 32768.0)));
  EXPECT_EQ(captured, expected);
}

}  // namespace
