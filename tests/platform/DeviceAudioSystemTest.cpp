// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Devices that stop answering (a frozen sound server): every call that
// waits for one returns within the bound, the device it gives up on never
// touches its owner's headers, buffers, callback or window again, and the
// next open works. The back-end here is the generic one over a source, sink,
// opens and mixer that block, when told to, until the test lets them go.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/DeviceAudioSystem.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "platform/Waker.h"
#include "tests/platform/SimDevice.h"
#include "tests/support/Wait.h"

namespace platform_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the blocking parts share with the test; they may outlive the system.
struct Hang {
  std::atomic<bool> on{false};
  std::mutex m;
  std::condition_variable cv;
  bool released = false;
  std::atomic<int> alive{0};  // sources, sinks and mixers not destroyed yet

  void block() {
    if (!on.load()) return;
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return released; });
  }
  void release() {
    std::lock_guard lock(m);
    released = true;
    cv.notify_all();
  }
  // The parts stuck so far have let go and are gone.
  bool waitGone() {
    for (auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::sleep_for(5ms))
      if (alive.load() == 0) return true;
    return false;
  }
};

struct Counted {
  explicit Counted(std::shared_ptr<Hang> h) : hang(std::move(h)) { ++hang->alive; }
  ~Counted() { --hang->alive; }
  std::shared_ptr<Hang> hang;
};

struct StuckSource final : CaptureSource, Counted {
  using Counted::Counted;
  MMRESULT start() override { return MMSYSERR_NOERROR; }
  void stop() override { hang->block(); }
  ReadResult read(BYTE*, std::size_t frames, Waker& waker) override {
    if (waker.wait(2)) return {ReadResult::Kind::Woken, 0, 0};
    return {ReadResult::Kind::Frames, frames, 0};
  }
};

struct StuckSink final : PlaybackSink, Counted {
  using Counted::Counted;
  WriteResult write(const BYTE*, std::size_t frames, Waker& waker) override {
    if (waker.wait(2)) return {WriteResult::Kind::Woken, 0, 0};
    return {WriteResult::Kind::Frames, frames, 0};
  }
  void drain() override { hang->block(); }
  void discard() override { hang->block(); }
};

struct StuckMixer final : MixerDevice, Counted {
  explicit StuckMixer(std::shared_ptr<Hang> h) : MixerDevice(MixerDescription{"Stuck", {}}), Counted(std::move(h)) {}
  MMRESULT readValues(DWORD, DWORD, DWORD*) override { return MIXERR_INVALCONTROL; }
  void stop() override { hang->block(); }
  using MixerDevice::controlChanged;
};

class StuckSystem final : public DeviceAudioSystem {
 public:
  explicit StuckSystem(std::shared_ptr<Hang> hang) : hang_(std::move(hang)) {}
  UINT waveInGetNumDevs() override { return 1; }
  UINT waveOutGetNumDevs() override { return 1; }
  UINT mixerGetNumDevs() override { return 1; }
  StuckMixer* lastMixer = nullptr;

 protected:
  bool describeWaveDevice(Direction, UINT, WaveDeviceInfo& info) override {
    info.name = "Stuck";
    return true;
  }
  // An open blocks while the hang is on (before anything is opened).
  Opener<CaptureSource> captureOpener(UINT, const WAVEFORMATEX&) override {
    return [hang = hang_](std::unique_ptr<CaptureSource>& source, std::string&) {
      hang->block();
      source = std::make_unique<StuckSource>(hang);
      return MMSYSERR_NOERROR;
    };
  }
  Opener<PlaybackSink> playbackOpener(UINT, const WAVEFORMATEX&) override {
    return [hang = hang_](std::unique_ptr<PlaybackSink>& sink, std::string&) {
      hang->block();
      sink = std::make_unique<StuckSink>(hang);
      return MMSYSERR_NOERROR;
    };
  }
  Opener<MixerDevice> mixerOpener(UINT) override {
    return [hang = hang_, &last = lastMixer](std::unique_ptr<MixerDevice>& mixer, std::string&) {
      auto m = std::make_unique<StuckMixer>(hang);
      last = m.get();
      mixer = std::move(m);
      return MMSYSERR_NOERROR;
    };
  }

 private:
  std::shared_ptr<Hang> hang_;
};

// Generous: the bound is well under a second; this only says "no hang".
constexpr auto kNoHang = 5s;

template <typename Call>
Clock::duration Timed(Call&& call) {
  const auto start = Clock::now();
  call();
  return Clock::now() - start;
}

struct CountingCallback {
  std::atomic<int> calls{0}, closes{0};
  static void Proc(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto* c = reinterpret_cast<CountingCallback*>(instance);
    ++c->calls;
    if (msg == MM_WIM_CLOSE) ++c->closes;
  }
};

TEST(DeviceAudioSystemNotAnswering, InputResetAndCloseReturnAndTheDeviceLetsTheOwnerAlone) {
  auto hang = std::make_shared<Hang>();
  StuckSystem system(hang);
  auto callback = std::make_unique<CountingCallback>();
  const WAVEFORMATEX format = Pcm(1, 16);
  HWAVEIN in = nullptr;
  ASSERT_EQ(system.waveInOpen(&in, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&CountingCallback::Proc),
                              reinterpret_cast<DWORD_PTR>(callback.get()), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  {
    // The owner's buffers, freed right after the close (ASan sees any late
    // write into them).
    std::vector<std::vector<char>> data(4, std::vector<char>(4096));
    std::vector<WAVEHDR> headers(4);
    for (std::size_t i = 0; i < 4; ++i) {
      headers[i] = WAVEHDR{data[i].data(), 4096, 0, i, 0, 0, nullptr, 0};
      ASSERT_EQ(system.waveInPrepareHeader(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
      ASSERT_EQ(system.waveInAddBuffer(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(system.waveInStart(in), MMSYSERR_NOERROR);
    // Capturing (a buffer came back), so that the reset stops the source.
    for (auto end = Clock::now() + kNoHang; callback->calls.load() < 2 && Clock::now() < end;)
      std::this_thread::sleep_for(1ms);
    hang->on = true;
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.waveInReset(in), MMSYSERR_NOERROR); }), kNoHang);
    for (WAVEHDR& h : headers) {
      EXPECT_EQ(LoadHeaderFlags(h) & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
      EXPECT_EQ(system.waveInUnprepareHeader(in, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    // Lost now: it takes no more buffers, and says why.
    EXPECT_EQ(system.waveInPrepareHeader(in, &headers[0], sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
    char text[256];
    system.waveInGetErrorTextA(MMSYSERR_NODRIVER, text, sizeof text);
    EXPECT_NE(std::string(text).find("did not answer"), std::string::npos) << text;
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.waveInClose(in), MMSYSERR_NOERROR); }), kNoHang);
  }
  EXPECT_EQ(callback->closes.load(), 1);
  EXPECT_EQ(system.waveInStart(in), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(system.devicesAbandoned(), 1u);
  const int calls = callback->calls.load();
  callback.reset();

  // The stuck thread comes back into a freed world and touches none of it.
  hang->release();
  ASSERT_TRUE(hang->waitGone());
  EXPECT_EQ(calls, 1 + 4 + 1);  // open, the four buffers, close

  // The next open works.
  hang->on = false;
  CountingCallback again;
  ASSERT_EQ(system.waveInOpen(&in, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&CountingCallback::Proc),
                              reinterpret_cast<DWORD_PTR>(&again), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  EXPECT_EQ(system.waveInClose(in), MMSYSERR_NOERROR);
  EXPECT_EQ(again.closes.load(), 1);
}

TEST(DeviceAudioSystemNotAnswering, OutputMixerAndOpensReturnAndPostNothingToFreedWindows) {
  auto hang = std::make_shared<Hang>();
  StuckSystem system(hang);
  const WAVEFORMATEX format = Pcm(1, 16);
  std::vector<UINT> posted;
  auto window = std::make_unique<NotifyWindow>([&](Message& m) { posted.push_back(m.Msg); });
  HWAVEOUT out = nullptr;
  HMIXER mixer = nullptr;
  ASSERT_EQ(
      system.waveOutOpen(&out, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window.get()), 0, CALLBACK_WINDOW),
      MMSYSERR_NOERROR);
  ASSERT_EQ(system.mixerOpen(&mixer, 0, reinterpret_cast<DWORD_PTR>(window.get()), 0, CALLBACK_WINDOW),
            MMSYSERR_NOERROR);
  StuckMixer* stuckMixer = system.lastMixer;
  {
    std::vector<char> data(4096);
    WAVEHDR header{data.data(), 4096, 0, 0, 0, 0, nullptr, 0};
    ASSERT_EQ(system.waveOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(system.waveOutWrite(out, &header, sizeof header), MMSYSERR_NOERROR);
    hang->on = true;
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.waveOutReset(out), MMSYSERR_NOERROR); }), kNoHang);
    EXPECT_EQ(LoadHeaderFlags(header) & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
    EXPECT_EQ(system.waveOutUnprepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.waveOutClose(out), MMSYSERR_NOERROR); }), kNoHang);
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.mixerClose(mixer), MMSYSERR_NOERROR); }), kNoHang);
  }
  window->dispatchPending();
  EXPECT_EQ(posted, (std::vector<UINT>{MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_CLOSE}));
  // A late change from the stuck mixer's watching posts nothing.
  stuckMixer->controlChanged(7);
  window->dispatchPending();
  EXPECT_EQ(posted.size(), 3u);
  window.reset();

  // Opens that get no answer fail within the bound and say why.
  HWAVEIN in = nullptr;
  EXPECT_LT(Timed([&] {
              EXPECT_EQ(system.waveInOpen(&in, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER);
              EXPECT_EQ(system.waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER);
            }),
            kNoHang);
  char text[256];
  system.waveOutGetErrorTextA(MMSYSERR_NODRIVER, text, sizeof text);
  EXPECT_NE(std::string(text).find("did not answer"), std::string::npos) << text;
  EXPECT_EQ(system.devicesAbandoned(), 4u);  // the output device, the mixer, two opens

  // Once answered, the late opens are closed again and the next open works.
  hang->release();
  ASSERT_TRUE(hang->waitGone());
  hang->on = false;
  ASSERT_EQ(system.waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(system.waveOutClose(out), MMSYSERR_NOERROR);
}

// A device that still plays out when it is closed gets kPlayOutLimit more
// than one that does not answer: a play-out that outlasts the answer bound,
// but not that allowance, is no failure, and the device is not let go.
TEST(DeviceAudioSystemNotAnswering, ACloseWaitsForAPlayOutBeyondTheAnswerBound) {
  auto hang = std::make_shared<Hang>();
  StuckSystem system(hang);
  const WAVEFORMATEX format = Pcm(1, 16);
  HWAVEOUT out = nullptr;
  ASSERT_EQ(system.waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<char> data(4096);
  WAVEHDR header{data.data(), 4096, 0, 0, 0, 0, nullptr, 0};
  ASSERT_EQ(system.waveOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
  ASSERT_EQ(system.waveOutWrite(out, &header, sizeof header), MMSYSERR_NOERROR);
  ASSERT_TRUE(quorvel_test::WaitUntil([&] { return (LoadHeaderFlags(header) & WHDR_DONE) != 0; }));
  ASSERT_EQ(system.waveOutUnprepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
  hang->on = true;                                  // the play-out lasts until the sink is let go
  const auto playOut = kDeviceAnswerLimit + 200ms;  // well inside the allowance
  const auto start = Clock::now();
  std::thread sink([&] {
    std::this_thread::sleep_until(start + playOut);
    hang->release();
  });
  EXPECT_EQ(system.waveOutClose(out), MMSYSERR_NOERROR);
  sink.join();
  EXPECT_GE(Clock::now() - start, playOut) << "the close did not wait for the play-out";
  EXPECT_EQ(system.devicesAbandoned(), 0u);
}

}  // namespace
}  // namespace platform_test
