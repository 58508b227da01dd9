// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA mixer on the private sound server. Mixer 0 is the server's
// "default" control, the cards follow: its values are checked against what
// pactl reports, its notifications against changes pactl makes.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaAudioSystem.h"
#include "tests/platform/alsa/MixerWalk.h"
#include "tests/support/Pactl.h"
#include "tests/support/SoundServer.h"
#include "tests/support/Wait.h"

namespace platform::alsa {
namespace {

using Clock = std::chrono::steady_clock;
using quorvel_test::PumpFor;
using quorvel_test::PumpUntil;
using std::chrono::milliseconds;
namespace pactl = quorvel_test::pactl;

// pactl's raw volume (65536 is 100 %) on the mixer's scale, and the 1 %
// the two may differ by.
double Scaled(long raw) { return raw * 65535.0 / 65536.0; }
constexpr double kTolerance = 655.35;

class AlsaMixerTest : public testing::Test, protected MixerWalk {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/test)";
    levels_.emplace();
    ASSERT_TRUE(levels_->valid()) << "pactl reports no sink volume";
  }
  void TearDown() override { levels_.reset(); }

 private:
  std::optional<pactl::SavedLevels> levels_;
};

TEST_F(AlsaMixerTest, TheSoundServerIsMixerZeroAndTheCardsFollow) {
  std::vector<std::string> cards;
  for (int card = -1; snd_card_next(&card) >= 0 && card >= 0;) {
    char* name = nullptr;
    ASSERT_EQ(snd_card_get_name(card, &name), 0);
    cards.emplace_back(name);
    std::free(name);
  }
  ASSERT_EQ(system_.mixerGetNumDevs(), 1 + cards.size());
  MIXERCAPSA caps{};
  ASSERT_EQ(system_.mixerGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(caps.szPname).rfind("Sound server (", 0), 0u) << caps.szPname;
  // The server's sink and source.
  EXPECT_EQ(caps.cDestinations, 2u);
  for (UINT i = 0; i < cards.size(); ++i) {
    ASSERT_EQ(system_.mixerGetDevCapsA(i + 1, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname, cards[i]);
  }
  EXPECT_EQ(system_.mixerGetDevCapsA(static_cast<UINT>(1 + cards.size()), &caps, sizeof caps), MMSYSERR_BADDEVICEID);
}

TEST_F(AlsaMixerTest, DestinationsReadWhatTheServerReports) {
  ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 30% 60%"));
  ASSERT_TRUE(pactl::Run("set-sink-mute @DEFAULT_SINK@ 1"));
  ASSERT_TRUE(pactl::Run("set-source-volume @DEFAULT_SOURCE@ 45%"));
  const std::array<long, 2> sink = pactl::Volume("sink");
  const std::array<long, 2> source = pactl::Volume("source");

  HMIXER h = open(nullptr);
  ASSERT_NE(h, nullptr);
  const auto found = walk(h);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].first, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
  EXPECT_EQ(found[1].first, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  const Destination speakers = found[0].second;
  ASSERT_EQ(speakers.channels, 2u);
  ASSERT_NE(speakers.volumeId, 0u);
  ASSERT_NE(speakers.muteId, 0u);

  MIXERLINECONTROLSA lc{};
  MIXERCONTROLA volume{};
  lc.cbStruct = sizeof lc;
  lc.dwControlID = speakers.volumeId;
  lc.cbmxctrl = sizeof volume;
  lc.pamxctrl = &volume;
  ASSERT_EQ(system_.mixerGetLineControlsA(h, &lc, MIXER_GETLINECONTROLSF_ONEBYID), MMSYSERR_NOERROR);
  EXPECT_EQ(volume.Bounds.dwMinimum, 0u);
  EXPECT_EQ(volume.Bounds.dwMaximum, 65535u);

  // Left and right apart, in that order; one channel is the left.
  DWORD values[2] = {};
  ASSERT_EQ(read(h, speakers.volumeId, 2, values), MMSYSERR_NOERROR);
  EXPECT_NEAR(values[0], Scaled(sink[0]), kTolerance);
  EXPECT_NEAR(values[1], Scaled(sink[1]), kTolerance);
  DWORD left = 0;
  ASSERT_EQ(read(h, speakers.volumeId, 1, &left), MMSYSERR_NOERROR);
  EXPECT_EQ(left, values[0]);
  ASSERT_EQ(read(h, speakers.muteId, 2, values), MMSYSERR_NOERROR);
  EXPECT_EQ(values[0], 1u);
  EXPECT_EQ(values[1], 1u);

  // The wave-input side is the default source. PipeWire's control reads a
  // source's volume from the node behind it, which for the monitor of a
  // sink is the sink.
  const bool monitorReadsTheSink = quorvel_test::SoundServerKind() == "pipewire";
  const Destination waveIn = found[1].second;
  ASSERT_NE(waveIn.volumeId, 0u);
  ASSERT_EQ(read(h, waveIn.volumeId, 1, &left), MMSYSERR_NOERROR);
  EXPECT_NEAR(left, Scaled(monitorReadsTheSink ? sink[0] : source[0]), kTolerance);

  // A change made while the mixer is open is what the next reads find.
  ASSERT_TRUE(pactl::Run("set-sink-mute @DEFAULT_SINK@ 0"));
  ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 80%"));
  const double now = Scaled(pactl::Volume("sink")[0]);
  DWORD mute = 1, level = 0;
  EXPECT_TRUE(PumpUntil([&] {
    return read(h, speakers.muteId, 1, &mute) == MMSYSERR_NOERROR && mute == 0 &&
           read(h, speakers.volumeId, 1, &level) == MMSYSERR_NOERROR && std::abs(level - now) <= kTolerance;
  })) << "mute "
      << mute << ", volume " << level << " for " << now;
  EXPECT_EQ(system_.mixerClose(h), MMSYSERR_NOERROR);
}

TEST_F(AlsaMixerTest, RecordsOfTheWrongSizeAreRefused) {
  MIXERCAPSA caps{};
  EXPECT_EQ(system_.mixerGetDevCapsA(0, &caps, sizeof caps - 1), MMSYSERR_INVALPARAM);
  HMIXER h = open(nullptr);
  ASSERT_NE(h, nullptr);

  MIXERLINEA line{};
  line.cbStruct = sizeof line + 4;
  EXPECT_EQ(system_.mixerGetLineInfoA(h, &line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_INVALPARAM);
  line.cbStruct = sizeof line;
  ASSERT_EQ(system_.mixerGetLineInfoA(h, &line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);

  std::vector<MIXERCONTROLA> all(line.cControls);
  MIXERLINECONTROLSA lc{};
  lc.cbStruct = sizeof lc - 1;
  lc.dwLineID = line.dwLineID;
  lc.cControls = line.cControls;
  lc.cbmxctrl = sizeof(MIXERCONTROLA);
  lc.pamxctrl = all.data();
  EXPECT_EQ(system_.mixerGetLineControlsA(h, &lc, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_INVALPARAM);
  lc.cbStruct = sizeof lc;
  lc.cbmxctrl = sizeof(MIXERCONTROLA) + 8;
  EXPECT_EQ(system_.mixerGetLineControlsA(h, &lc, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_INVALPARAM);
  lc.cbmxctrl = sizeof(MIXERCONTROLA);
  ASSERT_EQ(system_.mixerGetLineControlsA(h, &lc, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);

  DWORD values[2] = {};
  MIXERCONTROLDETAILS d{};
  d.cbStruct = sizeof d + 1;
  d.dwControlID = all[0].dwControlID;
  d.cChannels = 1;
  d.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
  d.paDetails = values;
  EXPECT_EQ(system_.mixerGetControlDetailsA(h, &d, MIXER_GETCONTROLDETAILSF_VALUE), MMSYSERR_INVALPARAM);
  d.cbStruct = sizeof d;
  d.cbDetails = 2;
  EXPECT_EQ(system_.mixerGetControlDetailsA(h, &d, MIXER_GETCONTROLDETAILSF_VALUE), MMSYSERR_INVALPARAM);
  d.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
  EXPECT_EQ(system_.mixerGetControlDetailsA(h, &d, MIXER_GETCONTROLDETAILSF_VALUE), MMSYSERR_NOERROR);
  EXPECT_EQ(system_.mixerClose(h), MMSYSERR_NOERROR);
}

TEST_F(AlsaMixerTest, ChangesMadeThroughTheServerArePosted) {
  ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 70%"));
  ASSERT_TRUE(pactl::Run("set-sink-mute @DEFAULT_SINK@ 0"));
  Changes changes;
  HMIXER h = open(&changes.window);
  ASSERT_NE(h, nullptr);
  const auto found = walk(h);
  ASSERT_FALSE(found.empty());
  const Destination speakers = found[0].second;

  auto posted = [&](const char* args, DWORD id, const char* what) {
    const auto start = Clock::now();
    ASSERT_TRUE(pactl::Run(args));
    ASSERT_TRUE(PumpUntil([&] { return changes.of(id) > 0; })) << what << " change not posted";
    std::cout << what << " change posted " << std::chrono::duration_cast<milliseconds>(Clock::now() - start).count()
              << " ms after pactl started\n";
  };
  posted("set-sink-volume @DEFAULT_SINK@ 40%", speakers.volumeId, "volume");
  for (const Message& m : changes.messages) EXPECT_EQ(m.WParam, reinterpret_cast<WPARAM>(h));
  DWORD level = 0;
  ASSERT_EQ(read(h, speakers.volumeId, 1, &level), MMSYSERR_NOERROR);
  EXPECT_NEAR(level, 0.4 * 65535, kTolerance);
  // Only the control whose value moved is posted.
  EXPECT_EQ(changes.of(speakers.muteId), 0u);

  posted("set-sink-mute @DEFAULT_SINK@ 1", speakers.muteId, "mute");
  EXPECT_EQ(changes.of(speakers.volumeId), 1u);
  EXPECT_EQ(system_.mixerClose(h), MMSYSERR_NOERROR);
}

TEST_F(AlsaMixerTest, NothingIsPostedAfterClose) {
  ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 70%"));
  Changes changes;  // outlives every check below
  HMIXER h = open(&changes.window);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(system_.mixerClose(h), MMSYSERR_NOERROR);
  ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 40%"));
  PumpFor(milliseconds(300));
  EXPECT_TRUE(changes.messages.empty());
}

}  // namespace
}  // namespace platform::alsa
