// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA mixer when the sound server goes away and comes back. The test
// runs its own private server (never the suite's, which other tests share),
// started before alsa-lib first reads its configuration so that ALSA's
// default control reaches it, and stopped whatever the test did.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <unistd.h>

#include "tests/platform/alsa/MixerWalk.h"
#include "tests/support/SoundServer.h"
#include "tests/support/Wait.h"

namespace platform::alsa {
namespace {

class AlsaMixerServerLoss : public testing::Test, protected MixerWalk {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<quorvel_test::PrivateSoundServer>(
        "/tmp/quorvel-alsa-mixer-loss-" + std::to_string(getpid()), true);
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { ASSERT_TRUE(server_->started()) << "the private sound server did not start"; }
  static std::unique_ptr<quorvel_test::PrivateSoundServer> server_;
};
std::unique_ptr<quorvel_test::PrivateSoundServer> AlsaMixerServerLoss::server_;

TEST_F(AlsaMixerServerLoss, ReadsFailSayingWhyCloseReturnsAndTheServerThatComesBackIsAMixerAgain) {
  const UINT mixers = system_.mixerGetNumDevs();
  Changes changes;
  HMIXER h = open(&changes.window);
  ASSERT_NE(h, nullptr);
  const auto found = walk(h);
  ASSERT_FALSE(found.empty());
  const DWORD volume = found[0].second.volumeId;
  DWORD values[2] = {};
  ASSERT_EQ(read(h, volume, 2, values), MMSYSERR_NOERROR);

  ASSERT_TRUE(server_->stop());
  MMRESULT rc = MMSYSERR_NOERROR;
  EXPECT_TRUE(quorvel_test::PumpUntil([&] { return (rc = read(h, volume, 2, values)) != MMSYSERR_NOERROR; }));
  EXPECT_EQ(rc, MMSYSERR_NODRIVER);
  EXPECT_NE(text(rc).find("snd_mixer_handle_events"), std::string::npos) << text(rc);
  EXPECT_EQ(system_.mixerClose(h), MMSYSERR_NOERROR);

  ASSERT_TRUE(server_->start());
  EXPECT_EQ(system_.mixerGetNumDevs(), mixers);
  h = open(nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(read(h, volume, 2, values), MMSYSERR_NOERROR);
  EXPECT_EQ(system_.mixerClose(h), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace platform::alsa
