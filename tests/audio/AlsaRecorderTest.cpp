// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The component on ALSA's default device, through the private sound server:
// a tone played into the null sink comes back through its monitor.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "audio/Audio.h"
#include "audio/Recorder.h"
#include "platform/alsa/DefaultAudioSystem.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"
#include "tests/support/RealStack.h"

using namespace audio;
using quorvel_test::PumpUntil;
using namespace std::chrono_literals;

namespace {

class AlsaRecorder : public testing::Test {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/test)";
    // A 1 kHz tone at half scale into the null sink, longer than the test.
    tone_.emplace(quorvel_test::SineSignal(30 * 44100, 44100, 1000, 0.5), 44100, 1, 2000);
    ASSERT_TRUE(tone_->running());
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
  // Per block, whether it holds the tone (1 kHz over 2048 samples: about
  // 93 zero crossings), in storage reserved up front.
  std::vector<char> tone(4096);
  std::atomic<int> blocks{0}, wrongSize{0}, withRight{0};
  std::atomic<bool> wrongSender{false};
  a.OnRecord = [&](TObject* sender, void* LP, void* RP, platform::WORD bytes) {
    if (sender != a.Recorder) wrongSender = true;
    if (bytes != 4096) ++wrongSize;
    if (RP) ++withRight;
    const int n = blocks.load();
    if (n < static_cast<int>(tone.size()))
      tone[n] = std::abs(Crossings(static_cast<const std::int16_t*>(LP), bytes / 2) - 93) <= 3;
    blocks.store(n + 1);
  };
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(a.Recorder->Start()) << a.ErrorMessage;
  quorvel_test::PumpFor(5s);
  ASSERT_TRUE(a.Recorder->Stop()) << a.ErrorMessage;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // A busy machine delivers late, never early: no more blocks than the time
  // since Start holds, beyond the burst a sound server starts a stream with.
  const int n = blocks.load();
  EXPECT_GE(n, 50);
  EXPECT_LE(n, seconds * 44100 / 2048 + 8);
  EXPECT_EQ(wrongSize.load(), 0);
  EXPECT_EQ(withRight.load(), 0);
  EXPECT_FALSE(wrongSender.load());
  // Once the tone is heard, it is in every block (but a few where the
  // player, another process, broke up).
  const auto heard = std::find(tone.begin(), tone.begin() + n, 1);
  ASSERT_NE(heard, tone.begin() + n) << "the tone never came";
  EXPECT_GE(std::count(heard, tone.begin() + n, 1), (tone.begin() + n - heard) - 3);
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
