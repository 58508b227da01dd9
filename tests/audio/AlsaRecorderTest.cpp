// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The component on ALSA's default device, through the private sound server:
// a tone played into the null sink comes back through its monitor.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include "audio/Audio.h"
#include "audio/Recorder.h"
#include "platform/alsa/DefaultAudioSystem.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"
#include "tests/support/RealStack.h"

using namespace audio;
using quorvel_test::PumpUntil;

namespace {

class AlsaRecorder : public testing::Test {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/test)";
    // A 1 kHz tone at half scale into the null sink, longer than the test.
    tone_.emplace(quorvel_test::SineSignal(30 * 44100, 44100, 1000, 0.5), 44100, 1);
    ASSERT_TRUE(tone_->running());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  std::optional<quorvel_test::Player> tone_;  // stopped with the test
};

// Zero crossings of a block, as a rough frequency reading.
int Crossings(const std::int16_t* s, int n) {
  int c = 0;
  for (int i = 1; i < n; ++i) c += (s[i - 1] < 0) != (s[i] < 0);
  return c;
}

TEST_F(AlsaRecorder, MainWindowSettingsDeliverFullBlocksOfTheTone) {
  auto system = platform::CreateDefaultAudioSystem();
  TAudio a(nullptr, system.get());
  audio_test::ApplyMainWindowSettings(a);
  std::atomic<int> blocks{0}, wrongSize{0}, withRight{0}, toneBlocks{0};
  std::atomic<bool> wrongSender{false};
  using Clock = std::chrono::steady_clock;
  std::atomic<Clock::rep> first{0}, last{0};
  a.OnRecord = [&](TObject* sender, void* LP, void* RP, platform::WORD bytes) {
    const Clock::rep now = Clock::now().time_since_epoch().count();
    if (blocks.load() == 0) first = now;
    last = now;
    if (sender != a.Recorder) wrongSender = true;
    if (bytes != 4096) ++wrongSize;
    if (RP) ++withRight;
    // 1 kHz over 2048 samples: about 93 crossings.
    const int c = Crossings(static_cast<const std::int16_t*>(LP), bytes / 2);
    if (std::abs(c - 93) <= 3) ++toneBlocks;
    ++blocks;
  };
  ASSERT_TRUE(a.Recorder->Start()) << a.ErrorMessage;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(PumpUntil([&] { return std::chrono::steady_clock::now() - t0 > std::chrono::seconds(5); }));
  ASSERT_TRUE(a.Recorder->Stop()) << a.ErrorMessage;
  // From the first block to the last, the blocks cover the time that passed
  // (the sound server starts a stream with a burst, so the first block is
  // the reference, not Start).
  const double span = std::chrono::duration<double>(Clock::duration(last - first)).count();
  EXPECT_GE(blocks.load(), 50);
  EXPECT_NEAR(blocks.load() - 1, span * 44100 / 2048, 3.0);
  EXPECT_EQ(wrongSize.load(), 0);
  EXPECT_EQ(withRight.load(), 0);
  EXPECT_FALSE(wrongSender.load());
  EXPECT_GE(toneBlocks.load(), blocks.load() - 3);
}

TEST_F(AlsaRecorder, StartAndStopTwentyTimes) {
  auto system = platform::CreateDefaultAudioSystem();
  TAudio a(nullptr, system.get());
  audio_test::ApplyMainWindowSettings(a);
  std::atomic<int> blocks{0};
  a.OnRecord = [&](TObject*, void*, void*, platform::WORD) { ++blocks; };
  for (int i = 0; i < 20; ++i) {
    const int before = blocks.load();
    ASSERT_TRUE(a.Recorder->Start()) << "run " << i << ": " << a.ErrorMessage;
    ASSERT_TRUE(PumpUntil([&] { return blocks.load() > before; })) << "run " << i;
    ASSERT_TRUE(a.Recorder->Stop()) << "run " << i << ": " << a.ErrorMessage;
    EXPECT_FALSE(a.Recorder->DeviceOpen);
  }
}

}  // namespace
