// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA back-end's wave input when the sound server goes away: during
// capture, and before a device is opened. The test runs its own private server (never the
// suite's), started before alsa-lib first reads its configuration so that
// ALSA's default device reaches it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
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

class AlsaCaptureServerLoss : public ::testing::Test {
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
std::unique_ptr<PrivateSoundServer> AlsaCaptureServerLoss::server_;

// The server dies while capturing: every buffer comes back instead of the
// device hanging, and the device reports why.
TEST_F(AlsaCaptureServerLoss, ServerGoneEndsTheBuffersAndSaysWhy) {
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

// The server ALSA's configuration names has gone: opening fails with ALSA's
// reason in the text, and alsa-lib's diagnostics stay off the terminal.
TEST_F(AlsaCaptureServerLoss, OpeningWithoutServerPrintsNothing) {
  ASSERT_TRUE(server_->kill());
  StderrCatcher caught;
  alsa::AlsaAudioSystem system;
  const UINT devices = system.waveInGetNumDevs();
  Capture capture(system, WAVE_MAPPER, PcmFormat(1, 16, 44100), 2048);
  const MMRESULT rc = capture.open();
  const std::string text = capture.errorText(rc);
  EXPECT_EQ(caught.text(), "");
  int card = -1;
  if (snd_card_next(&card) < 0 || card < 0) {
    // Without a card, nothing is left to capture from.
    EXPECT_EQ(devices, 0u);
    EXPECT_EQ(rc, MMSYSERR_NODRIVER);
  }
  EXPECT_NE(rc, MMSYSERR_NOERROR);
  EXPECT_NE(text.find("snd_pcm_open(default)"), std::string::npos) << text;
}

}  // namespace
