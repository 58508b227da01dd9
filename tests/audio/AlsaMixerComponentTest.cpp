// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The component's mixer on ALSA through the private sound server: the list
// holds the server's speakers with the values pactl reports, and a change
// made from outside reaches OnMixerChange as that line.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "audio/Audio.h"
#include "audio/MixerSettings.h"
#include "platform/NotifyWindow.h"
#include "platform/alsa/DefaultAudioSystem.h"
#include "tests/audio/AudioFixture.h"

using namespace audio;
using audio_test::PumpUntil;

namespace {

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

// The default sink's first raw volume (65536 is 100 %), or -1.
long SinkVolume() {
  const std::string out = Output("pactl get-sink-volume @DEFAULT_SINK@");
  const auto colon = out.find(": ", out.find("front-left"));
  return colon == std::string::npos ? -1 : std::strtol(out.c_str() + colon + 2, nullptr, 10);
}

class AlsaMixerComponent : public testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("PULSE_SERVER") == nullptr) GTEST_SKIP() << "no private sound server (run scripts/test)";
    std::system("pactl set-sink-volume @DEFAULT_SINK@ 70% && pactl set-sink-mute @DEFAULT_SINK@ 1");
  }
  void TearDown() override {
    std::system("pactl set-sink-volume @DEFAULT_SINK@ 100% && pactl set-sink-mute @DEFAULT_SINK@ 0");
  }
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
  const long raw = SinkVolume();
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
  ASSERT_EQ(std::system("pactl set-sink-volume @DEFAULT_SINK@ 40%"), 0);
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
