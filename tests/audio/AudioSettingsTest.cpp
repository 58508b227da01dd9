// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Format record, ring storage and the writers' compare-and-rebuild rules.
#include <gtest/gtest.h>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/FaultInjection.h"
#include "platform/ResultCodes.h"
#include "platform/sim/SimAudioSystem.h"
#include "tests/audio/AudioFixture.h"

using namespace audio;
using platform::sim::SimAudioSystem;

namespace {

// A rebuilt storage has fresh, cleared headers: a mark left in the old one
// tells whether a write rebuilt it.
void Mark(TAudioSettings& s) { s.Headers[0]->dwUser = 0xC0FFEE; }
bool Rebuilt(const TAudioSettings& s) { return s.Headers[0] == nullptr || s.Headers[0]->dwUser != 0xC0FFEE; }

TEST(AudioSettings, ConstructionAndMainWindowFormat) {
  SimAudioSystem sim;
  TAudio a(nullptr, &sim);
  EXPECT_EQ(a.Version, "4.1 (32bit)");
  EXPECT_EQ(a.AudioDeviceID, -1);
  EXPECT_EQ(a.Recorder->NoSamples, 8192);
  EXPECT_EQ(a.Recorder->SampleRate, 11025);
  EXPECT_EQ(a.Recorder->BufferBytes, 8192);
  ASSERT_NE(a.Player->WaveFormat, nullptr);

  audio_test::ApplyMainWindowSettings(a);
  const platform::WAVEFORMATEX& f = *a.Recorder->WaveFormat;
  EXPECT_EQ(f.wFormatTag, 1);
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.nAvgBytesPerSec, 88200u);
  EXPECT_EQ(f.nBlockAlign, 2);
  EXPECT_EQ(f.wBitsPerSample, 16);
  EXPECT_EQ(f.cbSize, 0);
  EXPECT_EQ(a.Recorder->BufferBytes, 4096);
  EXPECT_EQ(a.Player->BufferBytes, 4096);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(a.Recorder->Headers[i]->lpData, reinterpret_cast<char*>(a.Recorder->Buffers[i]));
}

TEST(AudioSettings, NoStorageWithoutInputDevice) {
  SimAudioSystem sim;
  sim.setInputDevices(0);
  TAudio a(nullptr, &sim);
  EXPECT_EQ(a.Recorder->WaveFormat, nullptr);
  EXPECT_EQ(a.Player->WaveFormat, nullptr);
  a.Recorder->FreeBuffers();  // nothing built: nothing done
}

TEST(AudioSettings, LargestBlockFitsAndTooLargeIsRefused) {
  SimAudioSystem sim;
  TAudio a(nullptr, &sim);
  a.Recorder->SetBitsPerSample(TBPS::_16);
  a.Recorder->SetChannels(TChannels::Stereo);
  a.Recorder->SetNoSamples(16383);
  EXPECT_EQ(a.Recorder->BufferBytes, 65532);
  ASSERT_NE(a.Recorder->Headers[3], nullptr);

  // 16384 stereo 16-bit frames would wrap to a 0-byte buffer.
  a.ErrorMessage.clear();
  a.Recorder->SetNoSamples(16384);
  EXPECT_EQ(a.Recorder->BufferBytes, 0);
  EXPECT_EQ(a.Recorder->Headers[0], nullptr);
  EXPECT_NE(a.ErrorMessage.find("out of range"), std::string::npos) << a.ErrorMessage;
  EXPECT_FALSE(a.Recorder->Start());
  EXPECT_FALSE(a.Recorder->DeviceOpen);
}

TEST(AudioSettings, EqualWritesRebuildNothingAndLinkedHalvesFollow) {
  SimAudioSystem sim;
  TAudio a(nullptr, &sim);
  Mark(*a.Recorder);
  Mark(*a.Player);
  a.Recorder->SetSampleRate(11025);
  a.Recorder->SetNoSamples(8192);
  EXPECT_FALSE(Rebuilt(*a.Recorder));
  EXPECT_FALSE(Rebuilt(*a.Player));

  a.Player->SetSampleRate(44100);
  EXPECT_EQ(a.Recorder->SampleRate, 44100);
  EXPECT_TRUE(Rebuilt(*a.Recorder));
  EXPECT_TRUE(Rebuilt(*a.Player));
  Mark(*a.Recorder);
  Mark(*a.Player);
  a.Recorder->SetSampleRate(44100);
  EXPECT_FALSE(Rebuilt(*a.Recorder));
  EXPECT_FALSE(Rebuilt(*a.Player));

  a.SeparateCtrls = true;
  a.Player->SetChannels(TChannels::Stereo);
  EXPECT_EQ(a.Player->Channels, TChannels::Stereo);
  EXPECT_EQ(a.Recorder->Channels, TChannels::Mono);
  EXPECT_FALSE(Rebuilt(*a.Recorder));
}

TEST(AudioSettings, SplitFollowsChannels) {
  SimAudioSystem sim;
  TAudio a(nullptr, &sim);
  a.Recorder->SetSplitChannels(true);
  EXPECT_FALSE(a.Recorder->SplitChannels);
  a.Recorder->SetChannels(TChannels::Stereo);
  a.Recorder->SetSplitChannels(true);
  EXPECT_TRUE(a.Recorder->SplitChannels);
  a.Recorder->SetChannels(TChannels::Mono);
  EXPECT_FALSE(a.Recorder->SplitChannels);
}

TEST(AudioSettings, DeviceIdAndVersionWriters) {
  SimAudioSystem sim;
  TAudio a(nullptr, &sim);
  Mark(*a.Recorder);
  Mark(*a.Player);
  a.SetAudioDeviceID(-1);
  EXPECT_FALSE(Rebuilt(*a.Recorder));
  EXPECT_FALSE(Rebuilt(*a.Player));
  a.SetAudioDeviceID(12);
  EXPECT_EQ(a.AudioDeviceID, -1);
  Mark(*a.Recorder);
  Mark(*a.Player);
  a.SetAudioDeviceID(3);
  EXPECT_EQ(a.AudioDeviceID, 3);
  EXPECT_TRUE(Rebuilt(*a.Recorder));
  EXPECT_TRUE(Rebuilt(*a.Player));
  a.SetVersion("9.9");
  EXPECT_EQ(a.Version, "4.1 (32bit)");
}

// A format write while capturing stops the recorder before its storage is
// rebuilt; when the device refuses to stop, the write is refused and the
// storage the device holds stays (AddressSanitizer watches the device fill
// it on).
TEST(AudioSettings, AFormatChangeWhileCapturingStopsTheRecorderFirstOrIsRefused) {
  for (const bool stops : {true, false}) {
    SimAudioSystem sim;
    platform::FaultInjection faults(sim);
    sim.setPacing(platform::sim::Pacing::Manual);
    TAudio a(nullptr, &faults);
    audio_test::ApplyMainWindowSettings(a);
    ASSERT_TRUE(a.Recorder->Start()) << a.ErrorMessage;
    Mark(*a.Recorder);
    if (!stops) faults.failCall(platform::AudioCall::waveInReset, platform::MMSYSERR_NOMEM);
    a.Recorder->SetSampleRate(22050);
    EXPECT_EQ(a.Recorder->DeviceOpen, !stops) << stops;
    EXPECT_EQ(a.Recorder->SampleRate, stops ? 22050 : 44100) << stops;
    EXPECT_EQ(Rebuilt(*a.Recorder), stops) << stops;
    EXPECT_EQ(faults.calls(platform::AudioCall::waveInClose), stops ? 1u : 0u) << stops;
    if (stops) continue;
    EXPECT_EQ(a.ErrorMessage, "Error in waveInReset");
    sim.release(2048 * 2);
    ASSERT_TRUE(sim.waitDelivered(2));
    faults.clearFaults();
    EXPECT_TRUE(a.Recorder->Stop()) << a.ErrorMessage;
  }
}

}  // namespace
