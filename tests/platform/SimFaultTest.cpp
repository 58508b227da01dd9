// The simulated system's own controls: devices, counts and injected faults.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/platform/SimDevice.h"

namespace platform_test {
namespace {

using sim::Call;
using sim::Pacing;
using sim::Signal;

TEST(SimFaults, NthCallFailsOnceOrFromThenOn) {
  SimDevice d(Pacing::Manual, Signal::Silence());
  ASSERT_EQ(d.open(), MMSYSERR_NOERROR);
  d.sim.failCall(Call::waveInPrepareHeader, MMSYSERR_NOMEM, 2);
  auto prepare = [&](std::size_t i) { return d.sim.waveInPrepareHeader(d.handle, &d.headers[i], sizeof(WAVEHDR)); };
  EXPECT_EQ(prepare(0), MMSYSERR_NOERROR);
  EXPECT_EQ(prepare(1), MMSYSERR_NOMEM);
  EXPECT_EQ(LoadHeaderFlags(d.headers[1]), 0u);  // a failed call does nothing
  EXPECT_EQ(prepare(1), MMSYSERR_NOERROR);
  EXPECT_EQ(d.sim.calls(Call::waveInPrepareHeader), 3u);

  d.sim.failCall(Call::waveInAddBuffer, MMSYSERR_NOTENABLED, 2, true);
  EXPECT_EQ(d.add(0), MMSYSERR_NOERROR);
  EXPECT_EQ(d.add(1), MMSYSERR_NOTENABLED);
  EXPECT_EQ(d.add(1), MMSYSERR_NOTENABLED);
  d.sim.clearFaults();
  EXPECT_EQ(d.add(1), MMSYSERR_NOERROR);
  EXPECT_EQ(d.sim.calls(Call::waveInAddBuffer), 4u);
}

TEST(SimFaults, EveryCallCanFailWithItsCode) {
  SimDevice d(Pacing::Manual, Signal::Silence());
  ASSERT_EQ(d.open(), MMSYSERR_NOERROR);
  WAVEHDR& h = d.headers[0];
  const WAVEFORMATEX format = Pcm(1, 16);
  WAVEINCAPSA caps{};
  char text[64];
  HWAVEIN other = nullptr;
  const std::pair<Call, std::function<MMRESULT()>> calls[] = {
      {Call::waveInGetDevCapsA, [&] { return d.sim.waveInGetDevCapsA(0, &caps, sizeof caps); }},
      {Call::waveInOpen, [&] { return d.sim.waveInOpen(&other, 0, &format, 0, 0, CALLBACK_NULL); }},
      {Call::waveInPrepareHeader, [&] { return d.sim.waveInPrepareHeader(d.handle, &h, sizeof h); }},
      {Call::waveInUnprepareHeader, [&] { return d.sim.waveInUnprepareHeader(d.handle, &h, sizeof h); }},
      {Call::waveInAddBuffer, [&] { return d.sim.waveInAddBuffer(d.handle, &h, sizeof h); }},
      {Call::waveInStart, [&] { return d.sim.waveInStart(d.handle); }},
      {Call::waveInStop, [&] { return d.sim.waveInStop(d.handle); }},
      {Call::waveInReset, [&] { return d.sim.waveInReset(d.handle); }},
      {Call::waveInClose, [&] { return d.sim.waveInClose(d.handle); }},
      {Call::waveInGetErrorTextA, [&] { return d.sim.waveInGetErrorTextA(MMSYSERR_NOMEM, text, sizeof text); }},
  };
  for (const auto& [call, invoke] : calls) {
    d.sim.failCall(call, MMSYSERR_HANDLEBUSY);
    EXPECT_EQ(invoke(), MMSYSERR_HANDLEBUSY) << static_cast<int>(call);
    EXPECT_EQ(d.sim.calls(call), call == Call::waveInOpen ? 2u : 1u);
  }
  // A failing text call leaves the text empty; the device is still open.
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(d.sim.isOpen(d.handle));
  EXPECT_EQ(other, nullptr);

  d.sim.failCall(Call::waveInGetNumDevs, MMSYSERR_ERROR);
  d.sim.failCall(Call::waveOutGetNumDevs, MMSYSERR_ERROR);
  EXPECT_EQ(d.sim.waveInGetNumDevs(), 0u);
  EXPECT_EQ(d.sim.waveOutGetNumDevs(), 0u);
  EXPECT_EQ(d.sim.waveInGetNumDevs(), 1u);
  EXPECT_EQ(d.sim.waveOutGetNumDevs(), 1u);
}

TEST(SimFaults, InjectedFailureCarriesItsReasonUntilTheCodeFailsAgain) {
  SimDevice d(Pacing::Manual, Signal::Silence());
  const std::string plain(ResultText(MMSYSERR_ALLOCATED));
  d.sim.failCall(Call::waveInOpen, MMSYSERR_ALLOCATED, 1, false, "held by another program");
  EXPECT_EQ(d.open(), MMSYSERR_ALLOCATED);
  EXPECT_EQ(d.handle, nullptr);
  EXPECT_EQ(d.log.size(), 0u);
  EXPECT_EQ(d.errorText(MMSYSERR_ALLOCATED), plain + " (held by another program)");
  d.sim.failCall(Call::waveInOpen, MMSYSERR_ALLOCATED);
  EXPECT_EQ(d.open(), MMSYSERR_ALLOCATED);
  EXPECT_EQ(d.errorText(MMSYSERR_ALLOCATED), plain);
  EXPECT_EQ(d.open(), MMSYSERR_NOERROR);
}

TEST(SimFaults, DeviceCountsNamesAndTheCountCallsOfOpen) {
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
  const unsigned counted = sim.calls(Call::waveInGetNumDevs);
  const WAVEFORMATEX format = Pcm(2, 8, 11025);
  HWAVEIN h = nullptr;
  ASSERT_EQ(sim.waveInOpen(&h, 2, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(sim.calls(Call::waveInGetNumDevs), counted);
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

TEST(SimFaults, DeviceFailureWaitsForACapturingDeviceAndHitsOnlyOne) {
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
