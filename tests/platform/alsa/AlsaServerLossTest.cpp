// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA back-end when the sound server goes away: while capturing, while
// playing, while idle, and before a device is opened. The tests run a
// private server of their own (never the suite's), started before alsa-lib
// first reads its configuration so that ALSA's default device reaches it,
// and stopped whatever the tests did.
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

#include <memory>
#include <string>
#include <unistd.h>

#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaAudioSystem.h"
#include "tests/support/RealStack.h"
#include "tests/support/Wait.h"

namespace {

using namespace platform;
using namespace quorvel_test;
using namespace std::chrono_literals;

const WAVEFORMATEX kFormat = PcmFormat(1, 16, 44100);
constexpr std::size_t kBufferBytes = 2048 * 2;

class AlsaServerLoss : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<PrivateSoundServer>("/tmp/quorvel-alsa-loss-" + std::to_string(getpid()), true);
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    if (!server_->started()) {
      ASSERT_TRUE(server_->start()) << "the private sound server did not start";
    }
  }
  static std::unique_ptr<PrivateSoundServer> server_;
};
std::unique_ptr<PrivateSoundServer> AlsaServerLoss::server_;

// The server dies while capturing: every buffer comes back instead of the
// device hanging, and the device reports why.
TEST_F(AlsaServerLoss, CaptureEndsItsBuffersAndSaysWhy) {
  alsa::AlsaAudioSystem system;
  Capture capture(system, WAVE_MAPPER, PcmFormat(1, 16, 44100), 2048);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.pump(5s, 2), MMSYSERR_NOERROR);
  ASSERT_GE(capture.blockCount(), 2u);

  ASSERT_TRUE(server_->stop());
  // Within the stall limit at the latest, the device gives up and refuses
  // more buffers; the ctest timeout catches a hang.
  MMRESULT rc = MMSYSERR_NOERROR;
  for (int i = 0; i < 200 && rc == MMSYSERR_NOERROR; ++i) rc = capture.pump(50ms);
  EXPECT_EQ(rc, MMSYSERR_NODRIVER);
  EXPECT_TRUE(WaitUntil([&] { return capture.withDevice() == 0; }));
  const std::string text = capture.errorText(rc);
  EXPECT_TRUE(text.starts_with(std::string(ResultText(MMSYSERR_NODRIVER)) + " (")) << text;
  EXPECT_NE(text.find("snd_pcm_"), std::string::npos) << text;

  EXPECT_EQ(capture.reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(capture.close(), MMSYSERR_NOERROR);
}

// The server dies while playing, or while the device waits for headers
// (then the next write is the first call to meet the loss, where ALSA's
// PipeWire plugin underruns at once after every restart): every header
// comes back instead of the device hanging, later calls report the failure
// with ALSA's reason, and the device can still be reset, unprepared and
// closed.
TEST_F(AlsaServerLoss, PlaybackReturnsItsHeadersAndSaysWhy) {
  for (const bool waiting : {false, true}) {
    SCOPED_TRACE(waiting ? "stopped while the device waits for headers" : "stopped while playing");
    if (!server_->started()) {
      ASSERT_TRUE(server_->start()) << "the private sound server did not start";
    }
    alsa::AlsaAudioSystem system;
    Playback play(system, WAVE_MAPPER, kFormat, ToneBytes(kFormat, 60.0, 440, {0.3}), kBufferBytes);
    ASSERT_EQ(play.open(), MMSYSERR_NOERROR);
    if (waiting) {
      ASSERT_EQ(play.feed(), MMSYSERR_NOERROR);
      ASSERT_TRUE(WaitUntil([&] { return play.returned() == play.written(); }));
    } else {
      ASSERT_TRUE(WaitUntil([&] { return play.feed() == MMSYSERR_NOERROR && play.returned() >= 4; }));
    }

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
}

// The server dies while the device holds nothing: closing it, which lets
// what the device holds play out, still returns.
TEST_F(AlsaServerLoss, IdlePlaybackStillCloses) {
  alsa::AlsaAudioSystem system;
  Playback play(system, WAVE_MAPPER, kFormat, ToneBytes(kFormat, 0.5, 440, {0.3}), kBufferBytes);
  ASSERT_EQ(play.open(), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitUntil([&] { return play.feed() == MMSYSERR_NOERROR && play.allWritten(); }));
  ASSERT_TRUE(WaitUntil([&] { return play.returned() == play.written(); }));
  ASSERT_TRUE(server_->stop());
  EXPECT_EQ(play.close(), MMSYSERR_NOERROR);
}

// The server ALSA's configuration names has gone: opening either way fails
// with ALSA's reason in the text, and alsa-lib's diagnostics stay off the
// terminal.
TEST_F(AlsaServerLoss, OpeningWithoutServerFailsSayingWhyAndPrintsNothing) {
  ASSERT_TRUE(server_->kill());
  StderrCatcher caught;
  alsa::AlsaAudioSystem system;
  const UINT inputs = system.waveInGetNumDevs();
  Capture capture(system, WAVE_MAPPER, kFormat, 2048);
  Playback play(system, WAVE_MAPPER, kFormat, ToneBytes(kFormat, 0.1, 440, {0.3}), kBufferBytes);
  const MMRESULT in = capture.open(), out = play.open();
  const std::string inText = capture.errorText(in), outText = play.errorText(out);
  EXPECT_EQ(caught.text(), "");
  EXPECT_NE(in, MMSYSERR_NOERROR);
  EXPECT_NE(out, MMSYSERR_NOERROR);
  EXPECT_NE(inText.find("snd_pcm_open(default)"), std::string::npos) << inText;
  EXPECT_NE(outText.find("snd_pcm_open(default)"), std::string::npos) << outText;
  // Without a card, nothing is left to capture from.
  if (int card = -1; snd_card_next(&card) < 0 || card < 0) {
    EXPECT_EQ(inputs, 0u);
  }
}

}  // namespace
