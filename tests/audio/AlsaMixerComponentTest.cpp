// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The component's mixer on ALSA through the private sound server: the list
// holds the server's speakers with the values pactl reports, and a change
// made from outside reaches OnMixerChange as that line.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "audio/Audio.h"
#include "audio/MixerSettings.h"
#include "platform/NotifyWindow.h"
#include "platform/alsa/DefaultAudioSystem.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Pactl.h"
#include "tests/support/SoundServer.h"
#include "tests/support/Wait.h"

using namespace audio;
using quorvel_test::PumpUntil;
namespace pactl = quorvel_test::pactl;

namespace {

class AlsaMixerComponent : public testing::Test {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/test)";
    levels_.emplace();
    ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 70%"));
    ASSERT_TRUE(pactl::Run("set-sink-mute @DEFAULT_SINK@ 1"));
  }
  void TearDown() override { levels_.reset(); }
  std::optional<pactl::SavedLevels> levels_;
};

const TMixDetails* Speakers(const TMixerSettings& m) {
  for (const TMixDetails* r = m.Lines; r != nullptr; r = r->Next)
    if (r->SpeakerPath && r->Source == 0 && r->VolumeID != NoneID && r->MuteID != NoneID) return r;
  return nullptr;
}

TEST_F(AlsaMixerComponent, TheSpeakersLineHoldsWhatTheServerReports) {
  auto system = platform::CreateDefaultAudioSystem();
  TAudio a(nullptr, system.get());
  ASSERT_TRUE(a.Mixer->MixerReady);
  const TMixDetails* speakers = Speakers(*a.Mixer);
  ASSERT_NE(speakers, nullptr);
  const long raw = pactl::Volume("sink")[0];
  ASSERT_GT(raw, 0);
  const double expected = std::min(65535.0, raw * 65535.0 / 65536.0);
  EXPECT_NEAR(speakers->VolumeLeft, expected, 656);  // 1 %
  EXPECT_NEAR(speakers->VolumeRight, expected, 656);
  EXPECT_TRUE(speakers->Muted);
  EXPECT_EQ(speakers->LineFlags, 0);
}

TEST_F(AlsaMixerComponent, AVolumeSetFromOutsideReachesOnMixerChangeAsItsLine) {
  auto system = platform::CreateDefaultAudioSystem();
  TAudio a(nullptr, system.get());
  ASSERT_TRUE(a.Mixer->MixerReady);
  const TMixDetails* speakers = Speakers(*a.Mixer);
  ASSERT_NE(speakers, nullptr);
  std::vector<std::tuple<TObject*, platform::WORD, platform::WORD>> reports;
  a.OnMixerChange = [&](TObject* s, platform::WORD d, platform::WORD src) { reports.emplace_back(s, d, src); };

  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 40%"));
  const auto matched = [&] {
    for (const auto& r : reports)
      if (std::get<1>(r) == speakers->Destination && std::get<2>(r) == speakers->Source) return true;
    return false;
  };
  ASSERT_TRUE(PumpUntil(matched));
  // How soon, for the record; the machine's load decides it, not the code.
  std::printf("OnMixerChange %lld ms after pactl started\n", static_cast<long long>(clock.elapsed()));
  for (const auto& r : reports) EXPECT_EQ(std::get<0>(r), a.Mixer);
}

}  // namespace
