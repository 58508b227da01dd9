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
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

#include "platform/DeviceAudioSystem.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "platform/Waker.h"
#include "platform/WaveInDevice.h"
#include "tests/platform/SimDevice.h"
#include "tests/support/Wait.h"

namespace platform_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the parts share with the test; they may outlive the system.
struct Hang {
  std::atomic<bool> on{false};         // opens, stops, drains, discards and mixer stops block until released
  std::atomic<bool> failReads{false};  // reads fail, as a stalled device's do
  std::mutex m;
  std::condition_variable cv;
  bool released = false;
  std::atomic<int> alive{0};  // sources, sinks and mixers not destroyed yet
  std::atomic<int> opens{0}, starts{0}, stops{0}, writes{0}, drains{0};
  std::function<void()> onOpen;  // runs in every open, on its thread

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
};

struct Counted {
  explicit Counted(std::shared_ptr<Hang> h) : hang(std::move(h)) { ++hang->alive; }
  ~Counted() { --hang->alive; }
  std::shared_ptr<Hang> hang;
};

// Nothing arrives: a read sleeps a little on the waker, or fails once told to.
struct StuckSource final : CaptureSource, Counted {
  using Counted::Counted;
  MMRESULT start() override {
    ++hang->starts;
    return MMSYSERR_NOERROR;
  }
  void stop() override {
    ++hang->stops;
    hang->block();
  }
  ReadResult read(BYTE*, std::size_t, Waker& waker) override {
    if (hang->failReads) return {ReadResult::Kind::Failed, 0, MMSYSERR_NODRIVER};
    if (waker.wait(5)) return {ReadResult::Kind::Woken, 0, 0};
    return {ReadResult::Kind::Frames, 0, 0};
  }
  std::string failureDetail() const override { return "the device delivered nothing"; }
};

struct StuckSink final : PlaybackSink, Counted {
  using Counted::Counted;
  WriteResult write(const BYTE*, std::size_t frames, Waker& waker) override {
    ++hang->writes;
    if (waker.wait(2)) return {WriteResult::Kind::Woken, 0, 0};
    return {WriteResult::Kind::Frames, frames, 0};
  }
  void drain() override {
    ++hang->drains;
    hang->block();
  }
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
      ++hang->opens;
      if (hang->onOpen) hang->onOpen();
      hang->block();
      source = std::make_unique<StuckSource>(hang);
      return MMSYSERR_NOERROR;
    };
  }
  Opener<PlaybackSink> playbackOpener(UINT, const WAVEFORMATEX&) override {
    return [hang = hang_](std::unique_ptr<PlaybackSink>& sink, std::string&) {
      ++hang->opens;
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

// The notifications of a capture device, counted. With `slowAfterStop`
// set, the first buffer back after the source stopped is held in the
// callback (inside the owner's fence) until the owner has given up.
struct Log {
  std::atomic<int> calls{0}, data{0}, closes{0};
  Hang* slowAfterStop = nullptr;
  std::atomic<bool> slowed{false};
  static void Proc(HWAVEIN hwi, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto* log = reinterpret_cast<Log*>(instance);
    if (msg == MM_WIM_DATA && log->slowAfterStop != nullptr && log->slowAfterStop->stops.load() > 0 &&
        !log->slowed.exchange(true))
      quorvel_test::WaitUntil([hwi] { return hwi->abandoned(); });
    ++log->calls;
    if (msg == MM_WIM_DATA) ++log->data;
    if (msg == MM_WIM_CLOSE) ++log->closes;
  }
};

// A capture device of the stuck system with four buffers, as an owner
// drives it.
struct StuckCapture {
  std::shared_ptr<Hang> hang = std::make_shared<Hang>();
  StuckSystem system{hang};
  std::unique_ptr<Log> log = std::make_unique<Log>();
  std::vector<std::vector<char>> data = std::vector<std::vector<char>>(4, std::vector<char>(4096));
  std::vector<WAVEHDR> headers = std::vector<WAVEHDR>(4);
  HWAVEIN in = nullptr;

  // Opens, queues every buffer and starts; returns once the source runs.
  void start() {
    const WAVEFORMATEX format = Pcm(1, 16);
    ASSERT_EQ(system.waveInOpen(&in, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&Log::Proc),
                                reinterpret_cast<DWORD_PTR>(log.get()), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    for (std::size_t i = 0; i < headers.size(); ++i) {
      headers[i] = WAVEHDR{data[i].data(), 4096, 0, i, 0, 0, nullptr, 0};
      ASSERT_EQ(system.waveInPrepareHeader(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
      ASSERT_EQ(system.waveInAddBuffer(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(system.waveInStart(in), MMSYSERR_NOERROR);
    ASSERT_TRUE(quorvel_test::WaitUntil([&] { return hang->starts.load() == 1; }));
  }
  // Every buffer is back: unprepares them and closes.
  void close() {
    for (WAVEHDR& h : headers) {
      EXPECT_EQ(LoadHeaderFlags(h) & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
      EXPECT_EQ(system.waveInUnprepareHeader(in, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.waveInClose(in), MMSYSERR_NOERROR); }), kNoHang);
  }
  std::string errorText(MMRESULT code) {
    char text[256];
    system.waveInGetErrorTextA(code, text, sizeof text);
    return text;
  }
};

// An output device of the stuck system with one buffer of 4096 bytes.
struct StuckOutput {
  std::shared_ptr<Hang> hang = std::make_shared<Hang>();
  StuckSystem system{hang};
  std::vector<char> data = std::vector<char>(4096);
  WAVEHDR header{data.data(), 4096, 0, 0, 0, 0, nullptr, 0};
  HWAVEOUT out = nullptr;

  // Opens and writes the buffer.
  void writeOne() {
    const WAVEFORMATEX format = Pcm(1, 16);
    ASSERT_EQ(system.waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    ASSERT_EQ(system.waveOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(system.waveOutWrite(out, &header, sizeof header), MMSYSERR_NOERROR);
  }
};

TEST(DeviceAudioSystemNotAnswering, InputResetAndCloseReturnAndTheDeviceLetsTheOwnerAlone) {
  StuckCapture c;
  c.start();
  c.hang->on = true;
  EXPECT_LT(Timed([&] { EXPECT_EQ(c.system.waveInReset(c.in), MMSYSERR_NOERROR); }), kNoHang);
  // Lost now: it takes no more buffers, and says why.
  EXPECT_EQ(c.system.waveInPrepareHeader(c.in, &c.headers[0], sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
  EXPECT_NE(c.errorText(MMSYSERR_NODRIVER).find("did not answer"), std::string::npos);
  c.close();
  EXPECT_EQ(c.log->closes.load(), 1);
  EXPECT_EQ(c.system.waveInStart(c.in), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(c.system.devicesAbandoned(), 1u);
  const int calls = c.log->calls.load();
  // The owner's buffers and callback go (ASan sees any late touch).
  c.log.reset();
  c.headers = {};
  c.data = {};

  // The stuck thread comes back into a freed world and touches none of it.
  c.hang->release();
  ASSERT_TRUE(quorvel_test::WaitUntil([&] { return c.hang->alive.load() == 0; }));
  EXPECT_EQ(calls, 1 + 4 + 1);  // open, the four buffers, close

  // The next open works.
  c.hang->on = false;
  Log again;
  const WAVEFORMATEX format = Pcm(1, 16);
  ASSERT_EQ(c.system.waveInOpen(&c.in, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&Log::Proc),
                                reinterpret_cast<DWORD_PTR>(&again), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  EXPECT_EQ(c.system.waveInClose(c.in), MMSYSERR_NOERROR);
  EXPECT_EQ(again.closes.load(), 1);
}

// However the reset comes to give up (the source's stop blocks in the
// server; or the device thread is inside the fence, in a slow callback,
// when the fence shuts, and then goes to sleep for want of work), the
// device closes its source on its own thread as soon as it can (before its
// owner closes it), and counts as given up on from then on, once.
TEST(DeviceAudioSystemNotAnswering, DeviceGivenUpAtResetLetsGoOnItsOwnThreadAndCounts) {
  for (const bool slowCallback : {false, true}) {
    SCOPED_TRACE(slowCallback ? "slow callback" : "stop blocks");
    StuckCapture c;
    c.log->slowAfterStop = slowCallback ? c.hang.get() : nullptr;
    c.start();
    c.hang->on = !slowCallback;
    EXPECT_EQ(c.system.waveInReset(c.in), MMSYSERR_NOERROR);
    EXPECT_TRUE(c.in->abandoned());
    EXPECT_EQ(c.system.devicesAbandoned(), 1u);
    c.hang->release();
    EXPECT_TRUE(quorvel_test::WaitUntil([&] { return c.hang->alive.load() == 0; }));
    c.close();
    EXPECT_EQ(c.system.devicesAbandoned(), 1u);  // once
  }
}

// A capture that fails (a stalled device) is reported at once, every buffer
// back, while stopping its source blocks in the server.
TEST(DeviceAudioSystemNotAnswering, FailureIsReportedWhileStoppingTheSourceBlocks) {
  StuckCapture c;
  c.start();
  c.hang->on = true;
  c.hang->failReads = true;
  EXPECT_TRUE(quorvel_test::WaitUntil([&] { return c.log->data.load() == 4; }));
  EXPECT_EQ(c.system.waveInAddBuffer(c.in, &c.headers[0], sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
  EXPECT_NE(c.errorText(MMSYSERR_NODRIVER).find("delivered nothing"), std::string::npos);
  c.hang->release();
  EXPECT_EQ(c.system.waveInReset(c.in), MMSYSERR_NOERROR);
  c.close();
}

// A forced close of an output device stops at once: what was written is not
// played out (nor waited for).
TEST(DeviceAudioSystemNotAnswering, ForcedOutputCloseDoesNotPlayOut) {
  StuckOutput o;
  ASSERT_NO_FATAL_FAILURE(o.writeOne());
  ASSERT_TRUE(quorvel_test::WaitUntil([&] { return o.hang->writes.load() > 0; }));
  o.hang->on = true;
  o.system.waveOutForceClose(o.out);
  EXPECT_EQ(o.hang->drains.load(), 0);
  EXPECT_EQ(o.system.devicesAbandoned(), 0u);
  o.hang->release();
}

// Every new thread fails while this lives: its default stack is larger than
// any address space.
class NoNewThreads {
 public:
  NoNewThreads() {
    pthread_getattr_default_np(&saved_);
    pthread_attr_t huge;
    pthread_attr_init(&huge);
    pthread_attr_setstacksize(&huge, std::size_t{1} << 50);
    pthread_setattr_default_np(&huge);
    pthread_attr_destroy(&huge);
  }
  ~NoNewThreads() {
    pthread_setattr_default_np(&saved_);
    pthread_attr_destroy(&saved_);
  }
  NoNewThreads(const NoNewThreads&) = delete;
  NoNewThreads& operator=(const NoNewThreads&) = delete;

 private:
  pthread_attr_t saved_;
};

// No thread for the open, or none for the device once its source is open:
// the open fails and says why; nothing is thrown and nothing stays open.
TEST(DeviceAudioSystemNotAnswering, ThreadThatCannotStartIsAFailureWithItsReason) {
  for (const bool deviceThread : {false, true}) {
    SCOPED_TRACE(deviceThread ? "device thread" : "open thread");
    auto hang = std::make_shared<Hang>();
    StuckSystem system(hang);
    std::optional<NoNewThreads> noThreads;
    if (deviceThread)
      hang->onOpen = [&noThreads] { noThreads.emplace(); };
    else
      noThreads.emplace();
    const WAVEFORMATEX format = Pcm(1, 16);
    HWAVEIN in = nullptr;
    EXPECT_EQ(system.waveInOpen(&in, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOMEM);
    noThreads.reset();
    char text[256];
    system.waveInGetErrorTextA(MMSYSERR_NOMEM, text, sizeof text);
    EXPECT_NE(std::string(text).find("thread"), std::string::npos) << text;
    EXPECT_TRUE(quorvel_test::WaitUntil([&] { return hang->alive.load() == 0; }));
  }
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
  // While that open has not come back, the next of its kind fails at once.
  EXPECT_EQ(system.waveInOpen(&in, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER);
  EXPECT_EQ(hang->opens.load(), 3);  // the first output, then one input and one output

  // Once answered, the late opens are closed again and the next open works:
  // at once after the late call's thread has ended, which comes a moment
  // after what it opened was closed.
  hang->release();
  ASSERT_TRUE(quorvel_test::WaitUntil([&] { return hang->alive.load() == 0; }));
  hang->on = false;
  ASSERT_TRUE(quorvel_test::WaitUntil(
      [&] { return system.waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR; }));
  EXPECT_EQ(system.waveOutClose(out), MMSYSERR_NOERROR);
}

// A device that still plays out when it is closed gets kPlayOutLimit more
// than one that does not answer: a play-out that outlasts the answer bound,
// but not that allowance, is no failure, and the device is not let go.
TEST(DeviceAudioSystemNotAnswering, ACloseWaitsForAPlayOutBeyondTheAnswerBound) {
  StuckOutput o;
  ASSERT_NO_FATAL_FAILURE(o.writeOne());
  ASSERT_TRUE(quorvel_test::WaitUntil([&] { return (LoadHeaderFlags(o.header) & WHDR_DONE) != 0; }));
  ASSERT_EQ(o.system.waveOutUnprepareHeader(o.out, &o.header, sizeof o.header), MMSYSERR_NOERROR);
  o.hang->on = true;                                // the play-out lasts until the sink is let go
  const auto playOut = kDeviceAnswerLimit + 200ms;  // well inside the allowance
  const auto start = Clock::now();
  std::thread sink([&] {
    std::this_thread::sleep_until(start + playOut);
    o.hang->release();
  });
  EXPECT_EQ(o.system.waveOutClose(o.out), MMSYSERR_NOERROR);
  sink.join();
  EXPECT_GE(Clock::now() - start, playOut) << "the close did not wait for the play-out";
  EXPECT_EQ(o.system.devicesAbandoned(), 0u);
}

}  // namespace
}  // namespace platform_test
