// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The wave-input device rules that every back-end shares, exercised on the
// simulated device's own thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <vector>

#include "platform/NotifyWindow.h"
#include "tests/platform/SimDevice.h"

namespace platform_test {
namespace {

using sim::Pacing;
using sim::Signal;

TEST(WaveInDevice, OpenAndCloseNotifyBeforeTheyReturnOnTheDeviceThread) {
  SimDevice d(Pacing::Manual, Signal::Counter());
  ASSERT_EQ(d.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(d.log.size(), 1u);
  EXPECT_EQ(d.log[0].msg, MM_WIM_OPEN);
  EXPECT_NE(d.log[0].thread, std::this_thread::get_id());
  EXPECT_EQ(d.sim.opensDelivered(), 1u);

  const HWAVEIN closed = d.handle;
  ASSERT_EQ(d.close(), MMSYSERR_NOERROR);
  ASSERT_EQ(d.log.size(), 2u);
  EXPECT_EQ(d.log[1].msg, MM_WIM_CLOSE);
  EXPECT_EQ(d.log[1].thread, d.log[0].thread);
  EXPECT_EQ(d.sim.closesDelivered(), 1u);
  EXPECT_EQ(d.sim.waveInStart(closed), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(d.sim.waveInClose(closed), MMSYSERR_INVALHANDLE);
}

TEST(WaveInDevice, BuffersComeBackOnceInQueueOrderOverThousands) {
  // Eight 256-frame buffers, each queued again as soon as it is back, so the
  // device thread fills while the owner adds.
  constexpr std::size_t kBuffers = 8, kFrames = 256, kRounds = 6000;
  SimDevice d(Pacing::Unpaced, Signal::Counter(), Pcm(1, 16), kBuffers, kFrames * 2);
  d.openAndStart(kBuffers);
  for (std::size_t i = 0; i < kRounds; ++i) {
    ASSERT_TRUE(d.sim.waitDelivered(i + 1)) << "block " << i;
    const Notification& n = d.log[i + 1];
    ASSERT_EQ(n.msg, MM_WIM_DATA);
    ASSERT_EQ(n.header, &d.headers[i % kBuffers]) << "block " << i;
    ASSERT_EQ(n.bytes, kFrames * 2);
    ASSERT_EQ(n.first, static_cast<std::uint16_t>(i * kFrames)) << "block " << i;
    ASSERT_EQ(n.last, static_cast<std::uint16_t>(i * kFrames + kFrames - 1)) << "block " << i;
    const DWORD flags = LoadHeaderFlags(d.headers[i % kBuffers]);
    ASSERT_EQ(flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
    if (i + kBuffers < kRounds) {
      ASSERT_EQ(d.add(i % kBuffers), MMSYSERR_NOERROR);
    }
  }
  ASSERT_EQ(d.sim.waveInReset(d.handle), MMSYSERR_NOERROR);
  EXPECT_EQ(d.sim.buffersDelivered(), kRounds);
  EXPECT_EQ(d.sim.framesProduced(), kRounds * kFrames);
}

TEST(WaveInDevice, ResetReturnsEveryQueuedBufferWithWhatItHolds) {
  SimDevice d(Pacing::Manual, Signal::Counter());
  d.openAndStart(4);
  d.sim.release(1000);
  ASSERT_TRUE(d.sim.waitProduced(1000));
  ASSERT_EQ(d.sim.waveInReset(d.handle), MMSYSERR_NOERROR);
  // Nothing to wait for: reset returned after the last one came back.
  ASSERT_EQ(d.log.size(), 5u);
  const DWORD expected[] = {2000, 0, 0, 0};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(d.log[i + 1].msg, MM_WIM_DATA);
    EXPECT_EQ(d.log[i + 1].header, &d.headers[i]);
    EXPECT_EQ(d.log[i + 1].bytes, expected[i]);
    EXPECT_EQ(LoadHeaderFlags(d.headers[i]), WHDR_PREPARED | WHDR_DONE);
  }
  EXPECT_EQ(d.log[1].last, 999);
  EXPECT_EQ(d.close(), MMSYSERR_NOERROR);
}

TEST(WaveInDevice, CloseIsRefusedWhileBuffersAreQueued) {
  SimDevice d(Pacing::Manual, Signal::Silence());
  ASSERT_EQ(d.open(), MMSYSERR_NOERROR);
  for (WAVEHDR& h : d.headers) ASSERT_EQ(d.sim.waveInPrepareHeader(d.handle, &h, sizeof h), MMSYSERR_NOERROR);
  ASSERT_EQ(d.add(0), MMSYSERR_NOERROR);
  ASSERT_EQ(d.add(1), MMSYSERR_NOERROR);
  EXPECT_EQ(d.close(), WAVERR_STILLPLAYING);
  EXPECT_EQ(d.sim.waveInUnprepareHeader(d.handle, &d.headers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(d.log.size(), 1u);  // refused: no close notification
  // Never started: reset hands both back empty, then close goes through.
  ASSERT_EQ(d.sim.waveInReset(d.handle), MMSYSERR_NOERROR);
  EXPECT_EQ(d.log.size(), 3u);
  EXPECT_EQ(d.close(), MMSYSERR_NOERROR);
  EXPECT_EQ(d.log[3].msg, MM_WIM_CLOSE);
}

TEST(WaveInDevice, StopReturnsThePartlyFilledBufferAndKeepsTheEmptyOnesQueued) {
  SimDevice d(Pacing::Manual, Signal::Counter());
  d.openAndStart(3);
  d.sim.release(100);
  ASSERT_TRUE(d.sim.waitProduced(100));
  ASSERT_EQ(d.sim.waveInStop(d.handle), MMSYSERR_NOERROR);
  ASSERT_EQ(d.log.size(), 2u);
  EXPECT_EQ(d.log[1].bytes, 200u);
  EXPECT_EQ(d.close(), WAVERR_STILLPLAYING);
  // Started again, the other two fill on, and the signal goes on where it was.
  ASSERT_EQ(d.sim.waveInStart(d.handle), MMSYSERR_NOERROR);
  d.sim.releaseBuffers(2);
  ASSERT_TRUE(d.sim.waitDelivered(3));
  EXPECT_EQ(d.log[2].header, &d.headers[1]);
  EXPECT_EQ(d.log[2].bytes, 4096u);
  EXPECT_EQ(d.log[2].first, 100);
  EXPECT_EQ(d.log[3].first, 2148);
  EXPECT_EQ(d.sim.captureStarts(), 2u);
  EXPECT_EQ(d.sim.captureStops(), 1u);
}

TEST(WaveInDevice, ShortBuffersComeBackWithWhatTheyHoldAndLoseNoFrame) {
  SimDevice d(Pacing::Manual, Signal::Counter());
  ASSERT_TRUE(d.sim.shortNextBuffer(1001, 2));  // whole frames: 500
  ASSERT_TRUE(d.sim.shortNextBuffer(0, 3));
  d.openAndStart(4);
  d.sim.releaseBuffers(3);  // an empty buffer takes no release
  ASSERT_TRUE(d.sim.waitDelivered(4));
  const DWORD bytes[] = {4096, 1000, 0, 4096};
  const std::uint16_t first[] = {0, 2048, 0, 2548};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(d.log[i + 1].header, &d.headers[i]);
    EXPECT_EQ(d.log[i + 1].bytes, bytes[i]) << i;
    if (bytes[i] > 0) {
      EXPECT_EQ(d.log[i + 1].first, first[i]) << i;
    }
  }
  // A request for the buffer the device waits on applies to that one.
  ASSERT_EQ(d.add(0), MMSYSERR_NOERROR);
  ASSERT_TRUE(d.sim.shortNextBuffer(0));
  ASSERT_TRUE(d.sim.waitDelivered(5));
  EXPECT_EQ(d.log[5].bytes, 0u);
}

TEST(WaveInDevice, DeviceThatFailsReturnsItsBuffersAndReportsTheCodeWithItsReason) {
  SimDevice d(Pacing::Manual, Signal::Counter());
  d.openAndStart(4);
  d.sim.release(300);
  ASSERT_TRUE(d.sim.waitProduced(300));
  ASSERT_TRUE(d.sim.failDevice(MMSYSERR_NODRIVER, "card unplugged"));
  ASSERT_TRUE(d.sim.waitDelivered(4));
  EXPECT_EQ(d.log[1].bytes, 600u);
  for (std::size_t i = 2; i <= 4; ++i) EXPECT_EQ(d.log[i].bytes, 0u);

  EXPECT_EQ(d.add(0), MMSYSERR_NODRIVER);
  EXPECT_EQ(d.sim.waveInStart(d.handle), MMSYSERR_NODRIVER);
  EXPECT_EQ(d.sim.waveInStop(d.handle), MMSYSERR_NODRIVER);
  EXPECT_EQ(d.sim.waveInPrepareHeader(d.handle, &d.headers[0], sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
  EXPECT_EQ(d.errorText(MMSYSERR_NODRIVER), std::string(ResultText(MMSYSERR_NODRIVER)) + " (card unplugged)");
  // What its owner needs to let go of it still works.
  EXPECT_EQ(d.sim.waveInReset(d.handle), MMSYSERR_NOERROR);
  for (WAVEHDR& h : d.headers) EXPECT_EQ(d.sim.waveInUnprepareHeader(d.handle, &h, sizeof h), MMSYSERR_NOERROR);
  EXPECT_EQ(d.close(), MMSYSERR_NOERROR);

  // One device failed; the next one opens and captures.
  d.openAndStart(1);
  d.sim.releaseBuffers(1);
  ASSERT_TRUE(d.sim.waitDelivered(5));
  EXPECT_EQ(d.log[d.log.size() - 1].bytes, 4096u);
}

TEST(WaveInDevice, ClockPacedDeviceWakesAtOnceForReset) {
  // A buffer of 500 s of audio: a reset that waited for the clock would run
  // into the test's time limit.
  SimDevice d(Pacing::Clock, Signal::Sine(440, 1), Pcm(1, 8, 8000), 2, 4'000'000);
  d.openAndStart(2);
  ASSERT_TRUE(d.sim.waitUntil([&] { return d.sim.captureStarts() == 1; }));
  ASSERT_EQ(d.sim.waveInReset(d.handle), MMSYSERR_NOERROR);
  ASSERT_EQ(d.log.size(), 3u);
  EXPECT_EQ(d.log[1].bytes, 0u);
  EXPECT_EQ(d.close(), MMSYSERR_NOERROR);
}

TEST(WaveInDevice, ClockPacedDeviceFillsBuffersInOrder) {
  SimDevice d(Pacing::Clock, Signal::Counter(), Pcm(2, 16), 4, 441 * 4);  // 10 ms each
  d.openAndStart(4);
  for (std::size_t i = 0; i < 12; ++i) {
    ASSERT_TRUE(d.sim.waitDelivered(i + 1));
    ASSERT_EQ(d.log[i + 1].header, &d.headers[i % 4]);
    ASSERT_EQ(d.log[i + 1].first, static_cast<std::uint16_t>(441 * i));          // left channel
    ASSERT_EQ(d.log[i + 1].last, static_cast<std::uint16_t>(~(441 * i + 440)));  // right channel
    ASSERT_EQ(d.add(i % 4), MMSYSERR_NOERROR);
  }
}

TEST(WaveInDevice, WindowCallbackPostsNotificationsToTheWindow) {
  std::vector<Message> got;
  NotifyWindow window([&](Message& m) { got.push_back(m); });
  sim::SimAudioSystem sim;
  sim.setPacing(Pacing::Unpaced);
  const WAVEFORMATEX format = Pcm(1, 16);
  std::vector<char> data(64);
  WAVEHDR h{data.data(), 64, 0, 0, 0, 0, nullptr, 0};
  HWAVEIN handle = nullptr;
  ASSERT_EQ(sim.waveInOpen(&handle, 0, &format, reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW),
            MMSYSERR_NOERROR);
  ASSERT_EQ(sim.waveInPrepareHeader(handle, &h, sizeof h), MMSYSERR_NOERROR);
  ASSERT_EQ(sim.waveInAddBuffer(handle, &h, sizeof h), MMSYSERR_NOERROR);
  ASSERT_EQ(sim.waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(sim.pumpUntil([&] { return got.size() == 2; }));
  ASSERT_EQ(sim.waveInUnprepareHeader(handle, &h, sizeof h), MMSYSERR_NOERROR);
  ASSERT_EQ(sim.waveInClose(handle), MMSYSERR_NOERROR);
  platform::ProcessMessages();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].Msg, MM_WIM_OPEN);
  EXPECT_EQ(got[1].Msg, MM_WIM_DATA);
  EXPECT_EQ(got[1].WParam, reinterpret_cast<WPARAM>(handle));
  EXPECT_EQ(got[1].LParam, reinterpret_cast<LPARAM>(&h));
  EXPECT_EQ(h.dwBytesRecorded, 64u);
  EXPECT_EQ(got[2].Msg, MM_WIM_CLOSE);
}

}  // namespace
}  // namespace platform_test
