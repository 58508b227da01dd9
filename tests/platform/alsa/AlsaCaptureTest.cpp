// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA back-end on the real sound stack: the private sound server's null
// sink is played into and its monitor captured through ALSA's default device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "tests/support/RealStack.h"
#include "tests/support/Wait.h"
#include "platform/ResultCodes.h"

namespace {

using namespace platform;
using namespace quorvel_test;
using namespace std::chrono_literals;

using AlsaCapture = AlsaOnSoundServer;

// The longest stretch over which each sample is the one before plus one.
std::size_t LongestCount(const std::vector<std::int16_t>& s) {
  std::size_t best = 0, run = 0;
  for (std::size_t i = 1; i < s.size(); ++i) {
    run = static_cast<std::uint16_t>(s[i]) == static_cast<std::uint16_t>(s[i - 1] + 1) ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}

TEST_F(AlsaCapture, ListsDevicesWithNamesAndRefusesBadQueries) {
  const UINT count = system.waveInGetNumDevs();
  ASSERT_GE(count, 1u) << "with a sound server there is a capture device";
  EXPECT_GE(system.waveOutGetNumDevs(), 1u);

  WAVEINCAPSA caps;
  for (UINT id = 0; id < count; ++id) {
    ASSERT_EQ(system.waveInGetDevCapsA(id, &caps, sizeof caps), MMSYSERR_NOERROR);
    const std::string name = caps.szPname;
    EXPECT_GT(name.size(), 3u);
    EXPECT_EQ(name.back(), ')') << name;  // the PCM it opens, in brackets
    EXPECT_EQ(caps.wChannels, 2);
  }
  ASSERT_EQ(system.waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_TRUE(std::string(caps.szPname).ends_with("(default)")) << caps.szPname;
  EXPECT_EQ(system.waveInGetDevCapsA(count, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(system.waveInGetDevCapsA(0, &caps, sizeof caps - 1), MMSYSERR_INVALPARAM);
  EXPECT_EQ(system.waveInGetDevCapsA(0, nullptr, sizeof caps), MMSYSERR_INVALPARAM);

  HWAVEIN h = nullptr;
  const WAVEFORMATEX format = PcmFormat(1, 16, kRate);
  EXPECT_EQ(system.waveInOpen(&h, count, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
}

// Main window's settings: every block is whole, the count follows the clock
// and the samples run on without a gap across blocks.
TEST_F(AlsaCapture, CounterArrivesWholeContinuousAndAtTheSampleRate) {
  Capture capture(system, WAVE_MAPPER, PcmFormat(1, 16, kRate), kFrames);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.pump(kWaitLimit, 1), MMSYSERR_NOERROR);
  ASSERT_GE(capture.blockCount(), 1u);

  // A long buffer: one break in the player, another process, would end the
  // counter's run. Its start, which the null sink may lose, is waited out.
  const Player player(CounterSignal(30 * kRate), kRate, 1, 2000);
  ASSERT_TRUE(player.running());
  // Until the counter is heard (a whole block of it), then 10 s more.
  auto counting = [&] {
    const std::size_t n = capture.blockCount();
    if (n == 0) return false;
    const auto b = capture.bytes(n - 1);
    std::vector<std::int16_t> s(b.size() / 2);
    std::memcpy(s.data(), b.data(), s.size() * 2);
    return LongestCount(s) + 1 == s.size();
  };
  ASSERT_TRUE(WaitUntil([&] { return capture.pump(10ms) != MMSYSERR_NOERROR || counting(); }))
      << "the counter never came";
  const double blockSeconds = static_cast<double>(kFrames) / kRate;
  ASSERT_EQ(capture.pump(kWaitLimit, capture.blockCount() + static_cast<std::size_t>(10 / blockSeconds) + 1),
            MMSYSERR_NOERROR);
  const std::size_t blocks = capture.blockCount();
  const Clock::time_point last = capture.at(blocks - 1);
  ASSERT_EQ(capture.reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(capture.withDevice(), 0u);
  EXPECT_EQ(capture.overruns(), 0u);
  ASSERT_EQ(capture.close(), MMSYSERR_NOERROR);

  for (std::size_t i = 0; i < blocks; ++i) ASSERT_EQ(capture.bytes(i).size(), kFrames * 2) << "block " << i;
  // The blocks come at the sample rate: a busy machine delivers late, never
  // early, so no more than the time since the start holds, beyond the burst
  // a sound server starts a stream with; and late by no more than the
  // device's buffer, past which samples are lost (the counter's to find).
  const double elapsed = std::chrono::duration<double>(last - start).count() / blockSeconds;
  EXPECT_LE(blocks, elapsed + 8);
  EXPECT_GE(blocks, 0.8 * elapsed);

  // The counter was playing all the 10 s; no sample may be lost, repeated
  // or reordered in between.
  EXPECT_GE(LongestCount(capture.samples16()), 10 * kRate);
}

// Stereo 8-bit at another rate than the server's: ALSA and the server
// convert, and the tone keeps its frequency and level on both channels.
TEST_F(AlsaCapture, ToneKeepsFrequencyAndLevelInStereoEightBit) {
  constexpr unsigned rate = 22050;
  constexpr double hz = 1000, amplitude = 0.5;
  Capture capture(system, WAVE_MAPPER, PcmFormat(2, 8, rate), 1024);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.pump(kWaitLimit, 1), MMSYSERR_NOERROR);
  const Player player(SineSignal(20 * kRate, kRate, hz, amplitude), kRate, 1, 2000);  // its start is waited out
  // Until the tone is heard, then a second and a half more of it.
  auto heard = [&] {
    const std::size_t n = capture.blockCount();
    if (n == 0) return false;
    const auto b = capture.bytes(n - 1);
    return std::any_of(b.begin(), b.end(), [](std::uint8_t v) { return std::abs(v - 128) > 32; });
  };
  ASSERT_TRUE(WaitUntil([&] { return capture.pump(10ms) != MMSYSERR_NOERROR || heard(); })) << "the tone never came";
  ASSERT_EQ(capture.pump(kWaitLimit, capture.blockCount() + 3 * rate / 2 / 1024 + 1), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.reset(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.close(), MMSYSERR_NOERROR);

  // The last second, all of it the tone.
  std::vector<std::uint8_t> all;
  for (std::size_t i = 0; i < capture.blockCount(); ++i) {
    const auto b = capture.bytes(i);
    all.insert(all.end(), b.begin(), b.end());
  }
  ASSERT_GE(all.size(), 2u * rate);
  const std::size_t begin = all.size() - 2 * rate;
  for (std::size_t channel = 0; channel < 2; ++channel) {
    double sum = 0;
    std::size_t crossings = 0;
    bool above = all[begin + channel] >= 128;
    for (std::size_t i = begin + channel; i < all.size(); i += 2) {
      const double v = (all[i] - 128.0) / 128.0;
      sum += v * v;
      if ((all[i] >= 128) != above) {
        above = !above;
        ++crossings;
      }
    }
    const double rms = std::sqrt(sum / rate);
    EXPECT_NEAR(rms, amplitude / std::sqrt(2.0), 0.03) << "channel " << channel;
    EXPECT_NEAR(crossings / 2.0, hz, hz * 0.02) << "channel " << channel;
  }
}

// Start and stop many times on one open device, then open and close many
// times: every run delivers, every reset brings every buffer back, nothing
// hangs.
TEST_F(AlsaCapture, StartsAndStopsRepeatedlyWithoutLosingBuffers) {
  {
    Capture capture(system, WAVE_MAPPER, PcmFormat(1, 16, kRate), kFrames);
    ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
    for (int run = 0; run < 20; ++run) {
      const std::size_t before = capture.blockCount();
      ASSERT_EQ(capture.start(), MMSYSERR_NOERROR) << "run " << run;
      ASSERT_EQ(capture.pump(kWaitLimit, before + 2), MMSYSERR_NOERROR) << "run " << run;
      ASSERT_GE(capture.blockCount(), before + 2) << "run " << run;
      ASSERT_EQ(capture.reset(), MMSYSERR_NOERROR) << "run " << run;
      ASSERT_EQ(capture.withDevice(), 0u) << "run " << run;
    }
    // A reset may cut a buffer short, never in the middle of a frame.
    for (std::size_t i = 0; i < capture.blockCount(); ++i) EXPECT_EQ(capture.bytes(i).size() % 2, 0u);
    ASSERT_EQ(capture.close(), MMSYSERR_NOERROR);
  }
  for (int run = 0; run < 5; ++run) {
    Capture capture(system, WAVE_MAPPER, PcmFormat(1, 16, kRate), kFrames);
    ASSERT_EQ(capture.open(), MMSYSERR_NOERROR) << "run " << run;
    ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.pump(kWaitLimit, 1), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.reset(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.close(), MMSYSERR_NOERROR) << "run " << run;
  }
}

// Periods are short beside the buffers, a quarter buffer or 10 ms, so that
// a sound server hands data over several times in every buffer; buffers
// still come back whole.
TEST_F(AlsaCapture, PeriodsAreShortBesideTheBuffers) {
  for (const auto& [frames, period] : {std::pair<std::size_t, double>{1000, 250}, {kFrames, kRate / 100.0}}) {
    Capture capture(system, WAVE_MAPPER, PcmFormat(1, 16, kRate), frames);
    ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.pump(kWaitLimit, 3), MMSYSERR_NOERROR);
    EXPECT_NEAR(static_cast<double>(capture.periodFrames()), period, 16.0) << frames << "-frame buffers";
    const std::size_t whole = capture.blockCount();  // the reset cuts the others short
    ASSERT_EQ(capture.reset(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.close(), MMSYSERR_NOERROR);
    for (std::size_t i = 0; i < whole; ++i) EXPECT_EQ(capture.bytes(i).size(), frames * 2) << frames;
  }
}

}  // namespace
