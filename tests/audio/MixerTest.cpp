// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The mixer settings on the scripted mixer: the list and its numbering, the
// line flags, both reports of a control change, re-enumeration, and every
// failure of its table.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "audio/Audio.h"
#include "audio/MixerSettings.h"
#include "platform/FaultInjection.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"

using namespace audio;
using namespace platform;
using Call = platform::AudioCall;
using platform::sim::SimAudioSystem;
using platform::sim::SimMixerScript;
using quorvel_test::PumpUntil;

namespace {

MixerControlInfo Control(DWORD id, DWORD type) { return {id, type, "c", "control"}; }
MixerControlInfo Volume(DWORD id) { return Control(id, MIXERCONTROL_CONTROLTYPE_VOLUME); }
MixerControlInfo Mute(DWORD id) { return Control(id, MIXERCONTROL_CONTROLTYPE_MUTE); }
MixerControlInfo Meter(DWORD id) { return Control(id, MIXERCONTROL_CONTROLTYPE_PEAKMETER); }

MixerLineInfo Line(std::string name, DWORD channels, std::vector<MixerControlInfo> controls,
                   DWORD type = MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED) {
  MixerLineInfo l;
  l.name = std::move(name);
  l.shortName = l.name;
  l.channels = channels;
  l.componentType = type;
  l.controls = std::move(controls);
  return l;
}

// Speakers with two sources, a capture side without sources, a line-out
// with one; the lines cover every flag combination worth telling apart.
SimMixerScript Desk(std::string name = "Desk mixer") {
  SimMixerScript m;
  m.description.name = std::move(name);
  MixerDestinationInfo speakers;
  speakers.line = Line("Master", 2, {Volume(10), Mute(11), Meter(12)}, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
  speakers.sources = {Line("Wave", 1, {Volume(20), Mute(21)}, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT),
                      Line("Mic", 1, {Mute(30), Volume(31)}, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE)};
  MixerDestinationInfo capture;
  capture.line = Line("Capture", 2, {Volume(40)}, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  MixerDestinationInfo lineOut;
  lineOut.line = Line("Line out", 1, {Volume(50)}, MIXERLINE_COMPONENTTYPE_DST_LINE);
  lineOut.sources = {Line("Meter only", 2, {Meter(60)})};
  m.description.destinations = {speakers, capture, lineOut};
  m.values = {{10, {0x12345, 0x0800}}, {11, {1}},   {12, {100, 200}}, {20, {7000}}, {21, {0}}, {30, {0}}, {31, {9000}},
              {40, {300, 400}},        {50, {500}}, {60, {1, 2}}};
  return m;
}

std::vector<const TMixDetails*> Records(const TMixerSettings& mixer) {
  std::vector<const TMixDetails*> out;
  for (const TMixDetails* r = mixer.Lines; r != nullptr; r = r->Next) out.push_back(r);
  return out;
}

struct Mixer : ::testing::Test {
  SimAudioSystem sim;
  FaultInjection faults{sim};
  std::unique_ptr<TAudio> audio;
  std::vector<std::tuple<TObject*, WORD, WORD>> reports;

  void Make() {
    audio = std::make_unique<TAudio>(nullptr, &faults);
    audio->OnMixerChange = [this](TObject* s, WORD d, WORD src) { reports.emplace_back(s, d, src); };
  }
  TMixerSettings& mixer() { return *audio->Mixer; }
  void Notify(LPARAM id) {
    mixer().MixerWindow->send(MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(mixer().MixerHandle), id);
  }
  WORD HandleLow() const { return static_cast<WORD>(reinterpret_cast<WPARAM>(audio->Mixer->MixerHandle) & 0xFFFF); }
};

TEST_F(Mixer, WithoutADeviceTheListStaysEmptyAndNothingIsReported) {
  Make();
  EXPECT_EQ(mixer().Lines, nullptr);
  EXPECT_FALSE(mixer().MixerReady);
  Notify(10);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(faults.calls(Call::mixerOpen), 0u);
}

TEST_F(Mixer, TheListHoldsTheDeviceThenEachDestinationWithItsSources) {
  sim.setMixers({Desk()});
  Make();
  ASSERT_TRUE(mixer().MixerReady);
  const auto r = Records(mixer());
  ASSERT_EQ(r.size(), 7u);
  const std::vector<std::tuple<int, int, std::string, bool>> expected = {{65535, 65535, "Desk mixer", false},
                                                                         {0, 0, "Master", true},
                                                                         {0, 1, "Wave", true},
                                                                         {0, 2, "Mic", true},
                                                                         {1, 0, "Capture", false},
                                                                         {2, 0, "Line out", false},
                                                                         {2, 1, "Meter only", false}};
  for (std::size_t i = 0; i < r.size(); ++i) {
    EXPECT_EQ(r[i]->Destination, std::get<0>(expected[i])) << i;
    EXPECT_EQ(r[i]->Source, std::get<1>(expected[i])) << i;
    EXPECT_EQ(r[i]->LineName, std::get<2>(expected[i])) << i;
    EXPECT_EQ(r[i]->SpeakerPath, std::get<3>(expected[i])) << i;
  }
  const TMixDetails& device = *r[0];
  EXPECT_EQ(device.VolumeID, NoneID);
  EXPECT_EQ(device.MuteID, NoneID);
  EXPECT_EQ(device.MeterID, NoneID);
  EXPECT_EQ(device.LineFlags, 0);
  EXPECT_FALSE(device.HasControls);
}

TEST_F(Mixer, LineRecordsKeepWhatTheirControlsRead) {
  sim.setMixers({Desk()});
  Make();
  const auto r = Records(mixer());
  // Stereo with volume, mute and meter; values kept as their low 16 bits.
  EXPECT_EQ(r[1]->VolumeID, 10u);
  EXPECT_EQ(r[1]->VolumeLeft, 0x2345);
  EXPECT_EQ(r[1]->VolumeRight, 0x0800);
  EXPECT_TRUE(r[1]->Muted);
  EXPECT_EQ(r[1]->MeterChannels, 2);
  EXPECT_EQ(r[1]->LineFlags, 0);
  EXPECT_FALSE(r[1]->MonoVolume);
  // One channel with volume and mute, in either order: 64.
  for (const TMixDetails* mono : {r[2], r[3]}) {
    EXPECT_EQ(mono->LineFlags, 64);
    EXPECT_TRUE(mono->MonoVolume);
    EXPECT_EQ(mono->VolumeRight, 0);
    EXPECT_FALSE(mono->Muted);
    EXPECT_TRUE(mono->HasControls);
  }
  EXPECT_EQ(r[3]->VolumeLeft, 9000);
  // Volume without mute: 128 on two channels, 192 on one.
  EXPECT_EQ(r[4]->LineFlags, 128);
  EXPECT_EQ(r[4]->MuteID, NoneID);
  EXPECT_EQ(r[5]->LineFlags, 192);
  // A meter alone is no control of the line's.
  EXPECT_EQ(r[6]->MeterID, 60u);
  EXPECT_EQ(r[6]->MeterChannels, 2);
  EXPECT_FALSE(r[6]->HasControls);
  EXPECT_EQ(r[6]->LineFlags, 128);
}

TEST_F(Mixer, LaterVolumesReplaceEarlierOnesAndTheFirstMuteWins) {
  SimMixerScript m;
  m.description.name = "Twice";
  MixerDestinationInfo d;
  d.line = Line("Mono out", 1, {Volume(1), Mute(2), Volume(3), Mute(4), Meter(5), Meter(6)});
  m.description.destinations = {d};
  m.values = {{1, {100}}, {2, {1}}, {3, {300}}, {4, {0}}, {5, {0}}, {6, {0}}};
  sim.setMixers({m});
  Make();
  const TMixDetails& line = *Records(mixer())[1];
  EXPECT_EQ(line.VolumeID, 3u);
  EXPECT_EQ(line.VolumeLeft, 300);
  EXPECT_EQ(line.MuteID, 2u);
  EXPECT_TRUE(line.Muted);
  EXPECT_EQ(line.MeterID, 6u);
  EXPECT_EQ(line.MeterChannels, 1);
  // The mono flag is set once, however many volume controls the line has.
  EXPECT_EQ(line.LineFlags, 64);
}

// A line may report no channels at all; its controls still hold one value.
TEST_F(Mixer, ALineOfNoChannelsIsReadAsOneChannel) {
  SimMixerScript m;
  m.description.name = "Odd";
  MixerDestinationInfo d;
  d.line = Line("No channels", 0, {Volume(1), Meter(2)});
  m.description.destinations = {d};
  m.values = {{1, {700}}, {2, {0}}};
  sim.setMixers({m});
  Make();
  ASSERT_TRUE(mixer().MixerReady);
  const TMixDetails& line = *Records(mixer())[1];
  EXPECT_EQ(line.VolumeID, 1u);
  EXPECT_EQ(line.VolumeLeft, 700);
  EXPECT_EQ(line.VolumeRight, 0);
  EXPECT_TRUE(line.MonoVolume);
  EXPECT_EQ(line.LineFlags, 192);
  EXPECT_EQ(line.MeterChannels, 1);
}

TEST_F(Mixer, AChangeIsReportedRawThenAsItsLine) {
  sim.setMixers({Desk()});
  Make();
  sim.setMixerValue(0, 21, {1});  // the Wave line's mute
  ASSERT_TRUE(PumpUntil([&] { return reports.size() >= 2; }));
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], std::make_tuple(static_cast<TObject*>(&mixer()), HandleLow(), WORD{21}));
  EXPECT_EQ(reports[1], std::make_tuple(static_cast<TObject*>(&mixer()), WORD{0}, WORD{1}));
  // Values are read once, when the list is built.
  EXPECT_FALSE(Records(mixer())[2]->Muted);

  reports.clear();
  Notify(40);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1], std::make_tuple(static_cast<TObject*>(&mixer()), WORD{1}, WORD{0}));
}

TEST_F(Mixer, MetersUnknownAndNegativeControlsGetOnlyTheRawReport) {
  sim.setMixers({Desk()});
  Make();
  for (LPARAM id : {LPARAM{12}, LPARAM{60}, LPARAM{999}, LPARAM{-21}}) {
    reports.clear();
    Notify(id);
    ASSERT_EQ(reports.size(), 1u) << id;
    EXPECT_EQ(std::get<2>(reports[0]), static_cast<WORD>(id & 0xFFFF));
  }
  // 65535 is the device record's "no control".
  reports.clear();
  Notify(65535);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1], std::make_tuple(static_cast<TObject*>(&mixer()), WORD{65535}, WORD{65535}));
  // Other messages are ignored.
  reports.clear();
  mixer().MixerWindow->send(MM_MIXM_LINE_CHANGE, 0, 10);
  EXPECT_TRUE(reports.empty());
}

TEST_F(Mixer, ChangingTheDeviceRebuildsTheListAndTheSameDeviceDoesNot) {
  sim.setMixers({Desk(), Desk("Second mixer")});
  Make();
  audio->SetMixerDeviceID(0);
  EXPECT_EQ(faults.calls(Call::mixerOpen), 1u);
  audio->SetMixerDeviceID(1);
  EXPECT_EQ(faults.calls(Call::mixerClose), 1u);
  EXPECT_EQ(sim.mixersOpen(), 1u);
  EXPECT_EQ(Records(mixer()).front()->LineName, "Second mixer");
  EXPECT_EQ(Records(mixer()).size(), 7u);
  audio.reset();
  EXPECT_EQ(sim.mixersOpen(), 0u);
}

TEST_F(Mixer, EveryFailureShowsAsAFalseResultOnly) {
  sim.setMixers({Desk()});
  Make();
  ASSERT_TRUE(mixer().MixerReady);
  audio->ErrorMessage.clear();

  faults.failCall(Call::mixerGetNumDevs, MMSYSERR_ERROR);  // reads as no device
  EXPECT_FALSE(mixer().EnumerateMixer(0));
  EXPECT_EQ(mixer().Lines, nullptr);

  faults.failCall(Call::mixerOpen, MMSYSERR_ALLOCATED);
  EXPECT_FALSE(mixer().EnumerateMixer(0));
  EXPECT_EQ(mixer().Lines, nullptr);
  EXPECT_EQ(sim.mixersOpen(), 0u);

  // The second destination cannot be read: the list holds what came before.
  faults.failCall(Call::mixerGetLineInfoA, MIXERR_INVALLINE, 4);
  EXPECT_FALSE(mixer().EnumerateMixer(0));
  EXPECT_EQ(Records(mixer()).size(), 4u);
  EXPECT_EQ(sim.mixersOpen(), 1u);

  // A line whose controls cannot be read keeps none; one control that
  // cannot be read is skipped; the enumeration goes on.
  faults.failCall(Call::mixerGetLineControlsA, MMSYSERR_NOMEM, 2);
  faults.failCall(Call::mixerGetControlDetailsA, MMSYSERR_NOMEM, 1);
  EXPECT_TRUE(mixer().EnumerateMixer(0));
  const auto r = Records(mixer());
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[1]->VolumeID, NoneID);
  EXPECT_EQ(r[1]->MuteID, 11u);
  EXPECT_FALSE(r[2]->HasControls);
  EXPECT_EQ(r[2]->LineFlags, 128);

  EXPECT_TRUE(mixer().MixerReady);
  EXPECT_TRUE(audio->ErrorMessage.empty());
}

TEST_F(Mixer, ADeviceWithoutDestinationsStaysOpenWithItsRecord) {
  SimMixerScript empty;
  empty.description.name = "Empty";
  sim.setMixers({empty});
  Make();
  EXPECT_FALSE(mixer().MixerReady);
  ASSERT_EQ(Records(mixer()).size(), 1u);
  EXPECT_EQ(sim.mixersOpen(), 1u);
}

TEST_F(Mixer, AFailedCapabilitiesQueryLeavesAnEmptyRecordNotGarbage) {
  sim.setMixers({Desk()});
  faults.failCall(Call::mixerGetDevCapsA, MMSYSERR_NOMEM);
  Make();
  EXPECT_FALSE(mixer().MixerReady);
  ASSERT_EQ(Records(mixer()).size(), 1u);
  EXPECT_EQ(Records(mixer())[0]->LineName, "");
}

}  // namespace
