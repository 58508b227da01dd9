// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated system's own controls: its devices, their names and counts,
// and a device that disappears.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/platform/SimDevice.h"

namespace platform_test {
namespace {

using Call = AudioCall;
using sim::Pacing;
using sim::Signal;

TEST(SimAudioSystem, DeviceCountsNamesAndTheCountCallsOfOpen) {
  sim::SimAudioSystem sim;
  EXPECT_EQ(sim.waveInGetNumDevs(), 1u);
  EXPECT_EQ(sim.waveOutGetNumDevs(), 1u);
  sim.setInputDeviceNames({"Line in", "USB microphone"});
  sim.setOutputDevices(0);
  EXPECT_EQ(sim.waveInGetNumDevs(), 2u);
  EXPECT_EQ(sim.waveOutGetNumDevs(), 0u);
  WAVEINCAPSA caps{};
  ASSERT_EQ(sim.waveInGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_STREQ(caps.szPname, "USB microphone");
  ASSERT_EQ(sim.waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_STREQ(caps.szPname, "Default input");
  EXPECT_EQ(sim.waveInGetDevCapsA(2, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(sim.waveInGetDevCapsA(0, &caps, 32), MMSYSERR_INVALPARAM);
  sim.setInputDevices(3);
  ASSERT_EQ(sim.waveInGetDevCapsA(2, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_STREQ(caps.szPname, "Simulated input 2");

  // The device-number check inside waveInOpen is not the owner's call.
  FaultInjection faults(sim);
  const unsigned counted = faults.calls(Call::waveInGetNumDevs);
  const WAVEFORMATEX format = Pcm(2, 8, 11025);
  HWAVEIN h = nullptr;
  ASSERT_EQ(faults.waveInOpen(&h, 2, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(faults.calls(Call::waveInGetNumDevs), counted);
  EXPECT_EQ(sim.lastDeviceId(), 2u);
  EXPECT_EQ(std::memcmp(&sim.lastFormat(), &format, sizeof format), 0);
  EXPECT_EQ(sim.waveInClose(h), MMSYSERR_NOERROR);
  EXPECT_EQ(sim.waveInOpen(&h, 3, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);

  // No device at all: not even the default one opens.
  sim.setInputDevices(0);
  EXPECT_EQ(sim.waveInGetNumDevs(), 0u);
  EXPECT_EQ(sim.waveInOpen(&h, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(sim.waveInOpen(&h, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(sim.waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
}

TEST(SimAudioSystem, DeviceFailureWaitsForACapturingDeviceAndHitsOnlyOne) {
  SimDevice d(Pacing::Manual, Signal::Counter());
  ASSERT_TRUE(d.sim.failDevice());
  EXPECT_FALSE(d.sim.failDevice(MMSYSERR_ERROR, "a second one"));  // one at a time
  d.openAndStart(2);
  ASSERT_TRUE(d.sim.waitDelivered(2));
  EXPECT_EQ(d.add(0), MMSYSERR_NODRIVER);
  EXPECT_NE(d.errorText(MMSYSERR_NODRIVER).find("simulated device removed"), std::string::npos);
  EXPECT_TRUE(d.sim.failDevice(MMSYSERR_ERROR, "a second one"));  // the first was used up
}

}  // namespace
}  // namespace platform_test
