// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The wave-output device rules that every back-end shares, exercised on the
// simulated device's own thread. The device posts to a window, as the
// player opens it; the simulated device keeps a record of what it played.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "platform/NotifyWindow.h"
#include "tests/platform/SimDevice.h"

namespace platform_test {
namespace {

using sim::Pacing;

// A simulated output device opened with a window, and its headers.
struct SimOutput {
  explicit SimOutput(Pacing pacing, std::size_t buffers = 4, DWORD bytesPerBuffer = 4096)
      : data(buffers, std::vector<char>(bytesPerBuffer)), headers(buffers) {
    sim.setPacing(pacing);
    for (std::size_t i = 0; i < buffers; ++i)
      headers[i] = WAVEHDR{data[i].data(), bytesPerBuffer, 0, i, 0, 0, nullptr, 0};
  }
  ~SimOutput() {
    if (handle == nullptr) return;
    sim.waveOutReset(handle);
    for (WAVEHDR& h : headers) sim.waveOutUnprepareHeader(handle, &h, sizeof h);
    sim.waveOutClose(handle);
  }

  void openAndPrepare() {
    ASSERT_EQ(sim.waveOutOpen(&handle, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW),
              MMSYSERR_NOERROR);
    for (WAVEHDR& h : headers) ASSERT_EQ(sim.waveOutPrepareHeader(handle, &h, sizeof h), MMSYSERR_NOERROR);
  }
  MMRESULT write(std::size_t i) { return sim.waveOutWrite(handle, &headers[i], sizeof(WAVEHDR)); }
  MMRESULT close() {
    const MMRESULT rc = sim.waveOutClose(handle);
    if (rc == MMSYSERR_NOERROR) handle = nullptr;
    return rc;
  }
  // Handles posted messages until `n` have arrived (the open one included).
  bool waitMessages(std::size_t n) {
    return sim.pumpUntil([&] { return got.size() >= n; });
  }

  const WAVEFORMATEX format = Pcm(2, 16);  // 4-byte frames
  sim::SimAudioSystem sim;
  std::vector<Message> got;
  NotifyWindow window{[this](Message& m) { got.push_back(m); }};
  HWAVEOUT handle = nullptr;
  std::vector<std::vector<char>> data;
  std::vector<WAVEHDR> headers;
};

// Written on the device thread before open and close return, read after.
struct OpenCloseLog {
  std::array<std::pair<UINT, std::thread::id>, 4> entries{};
  std::size_t count = 0;
  static void Proc(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto* log = reinterpret_cast<OpenCloseLog*>(instance);
    if (log->count < log->entries.size()) log->entries[log->count++] = {msg, std::this_thread::get_id()};
  }
};

TEST(WaveOutDevice, OpenAndCloseNotifyBeforeTheyReturnOnTheDeviceThread) {
  sim::SimAudioSystem sim;
  OpenCloseLog log;
  const WAVEFORMATEX format = Pcm(1, 16);
  HWAVEOUT h = nullptr;
  ASSERT_EQ(sim.waveOutOpen(&h, 0, &format, reinterpret_cast<DWORD_PTR>(&OpenCloseLog::Proc),
                            reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  ASSERT_EQ(log.count, 1u);
  EXPECT_EQ(log.entries[0].first, MM_WOM_OPEN);
  EXPECT_NE(log.entries[0].second, std::this_thread::get_id());

  ASSERT_EQ(sim.waveOutClose(h), MMSYSERR_NOERROR);
  ASSERT_EQ(log.count, 2u);
  EXPECT_EQ(log.entries[1].first, MM_WOM_CLOSE);
  EXPECT_EQ(log.entries[1].second, log.entries[0].second);
  WAVEHDR header{};
  EXPECT_EQ(sim.waveOutWrite(h, &header, sizeof header), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(sim.waveOutClose(h), MMSYSERR_INVALHANDLE);
}

TEST(WaveOutDevice, HeadersComeBackOnceInWriteOrderAndEveryWholeFrameIsPlayedInOrder) {
  // Eight buffers, each refilled with the bytes that follow and written again
  // as soon as it is back, so the device thread plays while the owner writes.
  constexpr std::size_t kBuffers = 8, kBytes = 1024, kRounds = 1000;
  SimOutput d(Pacing::Unpaced, kBuffers, kBytes);
  d.openAndPrepare();
  std::vector<char> expected;
  auto fill = [&](std::size_t round) {
    std::vector<char>& buffer = d.data[round % kBuffers];
    for (char& b : buffer) b = static_cast<char>(expected.size() + (&b - buffer.data()));
    expected.insert(expected.end(), buffer.begin(), buffer.end());
  };
  for (std::size_t i = 0; i < kBuffers; ++i) {
    fill(i);
    ASSERT_EQ(d.write(i), MMSYSERR_NOERROR);
  }
  for (std::size_t i = 0; i < kRounds; ++i) {
    ASSERT_TRUE(d.waitMessages(i + 2)) << "buffer " << i;
    const Message& m = d.got[i + 1];
    ASSERT_EQ(m.Msg, MM_WOM_DONE);
    ASSERT_EQ(m.WParam, reinterpret_cast<WPARAM>(d.handle));
    ASSERT_EQ(m.LParam, reinterpret_cast<LPARAM>(&d.headers[i % kBuffers])) << "buffer " << i;
    ASSERT_EQ(LoadHeaderFlags(d.headers[i % kBuffers]) & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
    if (i + kBuffers < kRounds) {
      fill(i + kBuffers);
      ASSERT_EQ(d.write(i % kBuffers), MMSYSERR_NOERROR);
    }
  }
  // A trailing partial frame is not played.
  d.headers[0].dwBufferLength = kBytes - 2;
  ASSERT_EQ(d.write(0), MMSYSERR_NOERROR);
  ASSERT_TRUE(d.waitMessages(kRounds + 2));
  expected.insert(expected.end(), d.data[0].begin(), d.data[0].end() - 4);
  const std::vector<BYTE> played = d.sim.playedBytes();
  ASSERT_EQ(played.size(), expected.size());
  EXPECT_TRUE(std::equal(played.begin(), played.end(), expected.begin(),
                         [](BYTE p, char e) { return p == static_cast<BYTE>(e); }));
}

TEST(WaveOutDevice, ResetThrowsAwayWhatIsNotPlayedAndReturnsEveryHeader) {
  SimOutput d(Pacing::Manual);
  d.openAndPrepare();
  for (std::size_t i = 0; i < 3; ++i) ASSERT_EQ(d.write(i), MMSYSERR_NOERROR);
  d.sim.releasePlayback(1500);  // all of the first header, part of the second
  ASSERT_TRUE(d.sim.waitUntil([&] { return d.sim.framesPlayed() == 1500; }));
  ASSERT_EQ(d.sim.waveOutReset(d.handle), MMSYSERR_NOERROR);
  // Every header is back when it returns; the posts are handled here.
  ProcessMessages();
  ASSERT_EQ(d.got.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(d.got[i + 1].Msg, MM_WOM_DONE);
    EXPECT_EQ(d.got[i + 1].LParam, reinterpret_cast<LPARAM>(&d.headers[i]));
    EXPECT_EQ(LoadHeaderFlags(d.headers[i]), WHDR_PREPARED | WHDR_DONE);
  }
  EXPECT_EQ(d.sim.outputResets(), 1u);
  EXPECT_EQ(d.sim.playedBytes().size(), 1500u * 4);

  // Written again, a header plays from its start.
  ASSERT_EQ(d.write(1), MMSYSERR_NOERROR);
  d.sim.releasePlayback(1024);
  ASSERT_TRUE(d.waitMessages(5));
  EXPECT_EQ(d.got[4].LParam, reinterpret_cast<LPARAM>(&d.headers[1]));
  EXPECT_EQ(d.sim.framesPlayed(), 1500u + 1024);
}

TEST(WaveOutDevice, CloseIsRefusedWhileHeadersAreQueued) {
  SimOutput d(Pacing::Manual);
  d.openAndPrepare();
  ASSERT_EQ(d.write(0), MMSYSERR_NOERROR);
  ASSERT_EQ(d.write(1), MMSYSERR_NOERROR);
  EXPECT_EQ(d.close(), WAVERR_STILLPLAYING);
  EXPECT_EQ(d.sim.waveOutUnprepareHeader(d.handle, &d.headers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  ProcessMessages();
  EXPECT_EQ(d.got.size(), 1u);  // refused: no close notification
  // Nothing played: reset hands both back, then close goes through.
  ASSERT_EQ(d.sim.waveOutReset(d.handle), MMSYSERR_NOERROR);
  EXPECT_EQ(d.close(), MMSYSERR_NOERROR);
  ProcessMessages();
  ASSERT_EQ(d.got.size(), 4u);
  EXPECT_EQ(d.got[3].Msg, MM_WOM_CLOSE);
}

TEST(WaveOutDevice, DeviceThatFailsReturnsItsHeadersAndReportsTheCodeWithItsReason) {
  SimOutput d(Pacing::Manual);
  d.openAndPrepare();
  for (std::size_t i = 0; i < 3; ++i) ASSERT_EQ(d.write(i), MMSYSERR_NOERROR);
  d.sim.releasePlayback(100);
  ASSERT_TRUE(d.sim.waitUntil([&] { return d.sim.framesPlayed() == 100; }));
  ASSERT_TRUE(d.sim.failOutputDevice(MMSYSERR_NODRIVER, "speakers unplugged"));
  ASSERT_TRUE(d.waitMessages(4));
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(d.got[i + 1].LParam, reinterpret_cast<LPARAM>(&d.headers[i]));

  EXPECT_EQ(d.write(0), MMSYSERR_NODRIVER);
  EXPECT_EQ(d.sim.waveOutPrepareHeader(d.handle, &d.headers[0], sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
  char text[255];
  ASSERT_EQ(d.sim.waveOutGetErrorTextA(MMSYSERR_NODRIVER, text, sizeof text), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(text), std::string(ResultText(MMSYSERR_NODRIVER)) + " (speakers unplugged)");
  // What its owner needs to let go of it still works.
  EXPECT_EQ(d.sim.waveOutReset(d.handle), MMSYSERR_NOERROR);
  for (WAVEHDR& h : d.headers) EXPECT_EQ(d.sim.waveOutUnprepareHeader(d.handle, &h, sizeof h), MMSYSERR_NOERROR);
  EXPECT_EQ(d.close(), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace platform_test
