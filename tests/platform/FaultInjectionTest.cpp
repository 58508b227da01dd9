// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Faults injected into a system's calls, here the simulated one: which call
// fails, with which code and reason, and what is counted.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/platform/SimDevice.h"

namespace platform_test {
namespace {

using Call = AudioCall;
using sim::Pacing;
using sim::Signal;

TEST(FaultInjection, NthCallFailsOnceOrFromThenOn) {
  SimDevice d(Pacing::Manual, Signal::Silence());
  ASSERT_EQ(d.open(), MMSYSERR_NOERROR);
  d.faults.failCall(Call::waveInPrepareHeader, MMSYSERR_NOMEM, 2);
  auto prepare = [&](std::size_t i) { return d.faults.waveInPrepareHeader(d.handle, &d.headers[i], sizeof(WAVEHDR)); };
  EXPECT_EQ(prepare(0), MMSYSERR_NOERROR);
  EXPECT_EQ(prepare(1), MMSYSERR_NOMEM);
  EXPECT_EQ(LoadHeaderFlags(d.headers[1]), 0u);  // a failed call does nothing
  EXPECT_EQ(prepare(1), MMSYSERR_NOERROR);
  EXPECT_EQ(d.faults.calls(Call::waveInPrepareHeader), 3u);

  d.faults.failCall(Call::waveInAddBuffer, MMSYSERR_NOTENABLED, 2, true);
  EXPECT_EQ(d.add(0), MMSYSERR_NOERROR);
  EXPECT_EQ(d.add(1), MMSYSERR_NOTENABLED);
  EXPECT_EQ(d.add(1), MMSYSERR_NOTENABLED);
  d.faults.clearFaults();
  EXPECT_EQ(d.add(1), MMSYSERR_NOERROR);
  EXPECT_EQ(d.faults.calls(Call::waveInAddBuffer), 4u);
}

TEST(FaultInjection, EveryCallCanFailWithItsCode) {
  SimDevice d(Pacing::Manual, Signal::Silence());
  ASSERT_EQ(d.open(), MMSYSERR_NOERROR);
  WAVEHDR& h = d.headers[0];
  const WAVEFORMATEX format = Pcm(1, 16);
  WAVEINCAPSA caps{};
  char text[64];
  HWAVEIN other = nullptr;
  const std::pair<Call, std::function<MMRESULT()>> calls[] = {
      {Call::waveInGetDevCapsA, [&] { return d.faults.waveInGetDevCapsA(0, &caps, sizeof caps); }},
      {Call::waveInOpen, [&] { return d.faults.waveInOpen(&other, 0, &format, 0, 0, CALLBACK_NULL); }},
      {Call::waveInPrepareHeader, [&] { return d.faults.waveInPrepareHeader(d.handle, &h, sizeof h); }},
      {Call::waveInUnprepareHeader, [&] { return d.faults.waveInUnprepareHeader(d.handle, &h, sizeof h); }},
      {Call::waveInAddBuffer, [&] { return d.faults.waveInAddBuffer(d.handle, &h, sizeof h); }},
      {Call::waveInStart, [&] { return d.faults.waveInStart(d.handle); }},
      {Call::waveInStop, [&] { return d.faults.waveInStop(d.handle); }},
      {Call::waveInReset, [&] { return d.faults.waveInReset(d.handle); }},
      {Call::waveInClose, [&] { return d.faults.waveInClose(d.handle); }},
      {Call::waveInGetErrorTextA, [&] { return d.faults.waveInGetErrorTextA(MMSYSERR_NOMEM, text, sizeof text); }},
  };
  for (const auto& [call, invoke] : calls) {
    d.faults.failCall(call, MMSYSERR_HANDLEBUSY);
    EXPECT_EQ(invoke(), MMSYSERR_HANDLEBUSY) << static_cast<int>(call);
    EXPECT_EQ(d.faults.calls(call), call == Call::waveInOpen ? 2u : 1u);
  }
  // A failing text call leaves the text empty; the device is still open.
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(d.sim.isOpen(d.handle));
  EXPECT_EQ(other, nullptr);

  d.faults.failCall(Call::waveInGetNumDevs, MMSYSERR_ERROR);
  d.faults.failCall(Call::waveOutGetNumDevs, MMSYSERR_ERROR);
  EXPECT_EQ(d.faults.waveInGetNumDevs(), 0u);
  EXPECT_EQ(d.faults.waveOutGetNumDevs(), 0u);
  EXPECT_EQ(d.faults.waveInGetNumDevs(), 1u);
  EXPECT_EQ(d.faults.waveOutGetNumDevs(), 1u);
}

TEST(FaultInjection, InjectedFailureCarriesItsReasonUntilTheCodeFailsAgain) {
  SimDevice d(Pacing::Manual, Signal::Silence());
  const std::string plain(ResultText(MMSYSERR_ALLOCATED));
  d.faults.failCall(Call::waveInOpen, MMSYSERR_ALLOCATED, 1, false, "held by another program");
  EXPECT_EQ(d.open(), MMSYSERR_ALLOCATED);
  EXPECT_EQ(d.handle, nullptr);
  EXPECT_EQ(d.log.size(), 0u);
  EXPECT_EQ(d.errorText(MMSYSERR_ALLOCATED), plain + " (held by another program)");
  d.faults.failCall(Call::waveInOpen, MMSYSERR_ALLOCATED);
  EXPECT_EQ(d.open(), MMSYSERR_ALLOCATED);
  EXPECT_EQ(d.errorText(MMSYSERR_ALLOCATED), plain);
  EXPECT_EQ(d.open(), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace platform_test
