// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA back-end's wave output when the sound server goes away: while
// playing, while idle, and before a device is opened. The test runs its own
// private server (never the suite's), started before alsa-lib first reads
// its configuration so that ALSA's default device reaches it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include <alsa/asoundlib.h>

#include "tests/support/RealStack.h"
#include "tests/support/Wait.h"
#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaAudioSystem.h"

namespace {

using namespace platform;
using namespace quorvel_test;
using namespace std::chrono_literals;

const WAVEFORMATEX kFormat = PcmFormat(1, 16, 44100);
constexpr std::size_t kBufferBytes = 2048 * 2;

class AlsaPlaybackServerLoss : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<PrivateSoundServer>("/tmp/quorvel-alsa-playback-loss-" + std::to_string(getpid()), true);
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    if (!server_->started()) {
      ASSERT_TRUE(server_->start()) << "the private sound server did not start";
    }
  }
  static std::unique_ptr<PrivateSoundServer> server_;
};
std::unique_ptr<PrivateSoundServer> AlsaPlaybackServerLoss::server_;

// The server dies while playing: every header comes back instead of the
// device hanging, later calls report the failure with ALSA's reason, and
// the device can still be reset, unprepared and closed.
TEST_F(AlsaPlaybackServerLoss, ServerGoneReturnsTheHeadersAndSaysWhy) {
  alsa::AlsaAudioSystem system;
  Playback play(system, WAVE_MAPPER, kFormat, ToneBytes(kFormat, 60.0, 440, {0.3}), kBufferBytes);
  ASSERT_EQ(play.open(), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitUntil([&] { return play.feed() == MMSYSERR_NOERROR && play.returned() >= 4; }));

  ASSERT_TRUE(server_->stop());
  // Within the stall limit at the latest, the device gives up and refuses
  // more headers; the ctest timeout catches a hang.
  MMRESULT rc = MMSYSERR_NOERROR;
  ASSERT_TRUE(WaitUntil([&] { return (rc = play.feed()) != MMSYSERR_NOERROR; }));
  EXPECT_EQ(rc, MMSYSERR_NODRIVER);
  EXPECT_TRUE(WaitUntil([&] { return play.withDevice() == 0; }));
  EXPECT_TRUE(play.returnedInOrderAndDone());

  const std::string text = play.errorText(rc);
  EXPECT_TRUE(text.starts_with(std::string(ResultText(MMSYSERR_NODRIVER)) + " (")) << text;
  EXPECT_NE(text.find("snd_pcm_"), std::string::npos) << text;
  WAVEHDR fresh{};
  char data[16] = {};
  fresh.lpData = data;
  fresh.dwBufferLength = sizeof data;
  EXPECT_EQ(system.waveOutPrepareHeader(play.handle(), &fresh, sizeof fresh), MMSYSERR_NODRIVER);
  EXPECT_EQ(play.feed(), MMSYSERR_NODRIVER);

  EXPECT_EQ(play.reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(play.close(), MMSYSERR_NOERROR);
}

// The server dies while the device holds nothing: closing it, which lets
// what the device holds play out, still returns.
TEST_F(AlsaPlaybackServerLoss, ServerGoneWhileIdleStillCloses) {
  alsa::AlsaAudioSystem system;
  Playback play(system, WAVE_MAPPER, kFormat, ToneBytes(kFormat, 0.5, 440, {0.3}), kBufferBytes);
  ASSERT_EQ(play.open(), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitUntil([&] { return play.feed() == MMSYSERR_NOERROR && play.allWritten(); }));
  ASSERT_TRUE(WaitUntil([&] { return play.returned() == play.written(); }));
  ASSERT_TRUE(server_->stop());
  EXPECT_EQ(play.close(), MMSYSERR_NOERROR);
}

// The server ALSA's configuration names has gone: opening fails with ALSA's
// reason in the text, and alsa-lib's diagnostics stay off the terminal.
TEST_F(AlsaPlaybackServerLoss, OpeningWithoutServerPrintsNothing) {
  ASSERT_TRUE(server_->kill());
  StderrCatcher caught;
  alsa::AlsaAudioSystem system;
  Playback play(system, WAVE_MAPPER, kFormat, ToneBytes(kFormat, 0.1, 440, {0.3}), kBufferBytes);
  const MMRESULT rc = play.open();
  const std::string text = play.errorText(rc);
  EXPECT_EQ(caught.text(), "");
  int card = -1;
  if (snd_card_next(&card) < 0 || card < 0) {
    // Without a card, nothing is left to play on.
    EXPECT_EQ(rc, MMSYSERR_NODRIVER);
  }
  EXPECT_NE(rc, MMSYSERR_NOERROR);
  EXPECT_NE(text.find("snd_pcm_open(default)"), std::string::npos) << text;
}

}  // namespace
