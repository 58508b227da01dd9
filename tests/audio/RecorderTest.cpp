// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The recorder on the simulated device: delivery, ring order, trigger,
// split, every failure of its table, and the mended faults.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QPointer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "audio/Audio.h"
#include "audio/MixerSettings.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/FaultInjection.h"
#include "platform/Messages.h"
#include "platform/ResultCodes.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"

using namespace audio;
using namespace platform;
using Call = platform::AudioCall;
using platform::sim::Pacing;
using platform::sim::Signal;
using platform::sim::SimAudioSystem;
using quorvel_test::PumpUntil;

namespace {

const std::string kNoMem = "There is not enough memory for the device.";

struct Block {
  TObject* sender;
  bool hasRight;
  WORD bytes;
  std::int16_t first;
  std::int16_t last;
};

// A component with the main window's settings whose handler records every
// block it receives (its first and last samples) into preallocated storage.
struct Capture {
  SimAudioSystem sim;
  FaultInjection faults{sim};
  TAudio audio{nullptr, &faults};
  std::vector<Block> blocks;
  std::atomic<std::size_t> count{0};

  explicit Capture(Pacing pacing = Pacing::Manual, Signal signal = Signal::Counter()) {
    sim.setPacing(pacing);
    sim.setSignal(std::move(signal));
    audio_test::ApplyMainWindowSettings(audio);
    blocks.resize(20000);
    audio.OnRecord = [this](TObject* sender, void* LP, void* RP, WORD bytes) {
      Block b{sender, RP != nullptr, bytes, 0, 0};
      if (bytes >= 2) {
        std::memcpy(&b.first, LP, 2);
        std::memcpy(&b.last, static_cast<BYTE*>(LP) + bytes - 2, 2);
      }
      const std::size_t n = count.load(std::memory_order_relaxed);
      if (n < blocks.size()) blocks[n] = b;
      count.store(n + 1, std::memory_order_release);
    };
  }
  TRecorder& rec() { return *audio.Recorder; }
  bool waitBlocks(std::size_t n) {
    return PumpUntil([&] { return count.load(std::memory_order_acquire) >= n; });
  }
};

TEST(Recorder, DeliversFullBlocksInRingOrderOverThousandsOfBlocks) {
  Capture c;
  ASSERT_TRUE(c.rec().Start()) << c.audio.ErrorMessage;
  EXPECT_TRUE(c.rec().Active);
  constexpr std::size_t kBlocks = 3000;
  for (std::size_t done = 0; done < kBlocks; done += 3) {
    c.sim.release(2048 * 3);
    ASSERT_TRUE(c.waitBlocks(done + 3));
  }
  ASSERT_TRUE(c.rec().Stop()) << c.audio.ErrorMessage;
  ASSERT_EQ(c.count.load(), kBlocks);
  for (std::size_t i = 0; i < kBlocks; ++i) {
    const Block& b = c.blocks[i];
    ASSERT_EQ(b.sender, &c.rec());
    ASSERT_FALSE(b.hasRight);
    ASSERT_EQ(b.bytes, 4096);
    // The counter signal: block i starts at frame 2048 i.
    ASSERT_EQ(static_cast<std::uint16_t>(b.first), static_cast<std::uint16_t>(2048 * i)) << "block " << i;
    ASSERT_EQ(static_cast<std::uint16_t>(b.last), static_cast<std::uint16_t>(2048 * i + 2047));
  }
  EXPECT_FALSE(c.rec().DeviceOpen);
  EXPECT_FALSE(c.rec().Active);
}

TEST(Recorder, ClockPacedCaptureStartsAndStopsRepeatedly) {
  Capture c(Pacing::Clock, Signal::Sine(1000, 0.5));
  for (int run = 0; run < 5; ++run) {
    const std::size_t before = c.count.load();
    ASSERT_TRUE(c.rec().Start()) << c.audio.ErrorMessage;
    ASSERT_TRUE(c.waitBlocks(before + 2));
    ASSERT_TRUE(c.rec().Stop()) << c.audio.ErrorMessage;
  }
  EXPECT_FALSE(c.rec().DeviceOpen);
}

TEST(Recorder, TriggerDropsBlocksBelowLevelThenDeliversEverything) {
  // Blocks of silence at -1, then one sample at 0: level 0 fires on it.
  std::vector<std::int16_t> s(2048 * 2, -1);
  s[2048 + 100] = 0;
  Capture c(Pacing::Manual, Signal::Of(s));
  ASSERT_TRUE(c.rec().Start());
  c.sim.release(2048);
  ASSERT_TRUE(PumpUntil([&] { return c.sim.framesProduced() >= 2048; }));
  c.sim.release(2048 * 3);
  ASSERT_TRUE(c.waitBlocks(3));
  c.rec().Stop();
  EXPECT_TRUE(c.rec().Triggered);
  // The first block had nothing at the level: only the later three arrived,
  // the firing one whole from its first sample.
  EXPECT_EQ(c.count.load(), 3u);
  EXPECT_EQ(c.blocks[0].first, -1);
}

TEST(Recorder, TriggerLevels) {
  SimAudioSystem sim;
  TAudio a(nullptr, &sim);
  TRecorder& r = *a.Recorder;
  const BYTE bytes8[] = {0, 127, 128, 255};
  r.BitsPerSample = TBPS::_8;
  r.SetTrigLevel(128);
  EXPECT_FALSE(r.CheckTrigger(bytes8, 2));
  EXPECT_TRUE(r.CheckTrigger(bytes8, 3));
  r.Triggered = false;
  r.SetTrigLevel(255);
  EXPECT_TRUE(r.CheckTrigger(bytes8, 4));
  r.Triggered = false;
  r.SetTrigLevel(32768);  // reads as -32768: every 8-bit block fires
  EXPECT_TRUE(r.CheckTrigger(bytes8, 1));
  r.Triggered = false;
  EXPECT_FALSE(r.CheckTrigger(bytes8, 0));

  r.BitsPerSample = TBPS::_16;
  const std::int16_t s16[] = {-5, -2, 7};
  r.SetTrigLevel(65534);  // -2
  EXPECT_FALSE(r.CheckTrigger(s16, 2));
  EXPECT_TRUE(r.CheckTrigger(s16, 4));
  r.Triggered = false;
  r.SetTrigLevel(7);
  EXPECT_FALSE(r.CheckTrigger(s16, 5));  // the odd trailing byte is not a sample
  EXPECT_TRUE(r.CheckTrigger(s16, 6));
  // Once fired, no scan: even an empty block passes until the owner clears it.
  EXPECT_TRUE(r.CheckTrigger(s16, 0));
}

TEST(Recorder, SplitCompactsLeftInPlaceAndRightIntoSplitBuffer) {
  SimAudioSystem sim;
  TAudio a(nullptr, &sim);
  TRecorder& r = *a.Recorder;
  std::int16_t block[8] = {1, -1, 2, -2, 3, -3, 4, -4};
  std::int16_t right[4] = {};
  void* LP = block;
  void* RP = right;
  WORD n = sizeof block;
  r.BitsPerSample = TBPS::_16;
  r.SplitBlock(LP, RP, n);
  EXPECT_EQ(n, 8);
  EXPECT_EQ(LP, block);
  EXPECT_EQ(std::vector<std::int16_t>(block, block + 4), (std::vector<std::int16_t>{1, 2, 3, 4}));
  EXPECT_EQ(std::vector<std::int16_t>(right, right + 4), (std::vector<std::int16_t>{-1, -2, -3, -4}));

  BYTE b8[6] = {10, 20, 11, 21, 12, 22};
  BYTE r8[3] = {};
  LP = b8;
  RP = r8;
  n = 6;
  r.BitsPerSample = TBPS::_8;
  r.SplitBlock(LP, RP, n);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(std::vector<BYTE>(b8, b8 + 3), (std::vector<BYTE>{10, 11, 12}));
  EXPECT_EQ(std::vector<BYTE>(r8, r8 + 3), (std::vector<BYTE>{20, 21, 22}));
}

TEST(Recorder, StereoSplitDeliversBothChannels) {
  Capture c;
  c.rec().SetChannels(TChannels::Stereo);
  c.rec().SetSplitChannels(true);
  std::vector<std::int16_t> right(2048);
  c.audio.OnRecord = [&](TObject*, void* LP, void* RP, WORD bytes) {
    Block b{nullptr, RP != nullptr, bytes, 0, 0};
    std::memcpy(&b.first, LP, 2);
    if (RP) std::memcpy(right.data(), RP, bytes);
    c.blocks[c.count.load()] = b;
    c.count.fetch_add(1);
  };
  ASSERT_TRUE(c.rec().Start());
  c.sim.release(2048);
  ASSERT_TRUE(c.waitBlocks(1));
  c.rec().Stop();
  EXPECT_EQ(c.blocks[0].bytes, 4096);
  EXPECT_TRUE(c.blocks[0].hasRight);
  EXPECT_EQ(c.blocks[0].first, 0);
  for (int k = 0; k < 2048; ++k) ASSERT_EQ(static_cast<std::uint16_t>(right[k]), static_cast<std::uint16_t>(~k));
}

// Unsplit stereo is delivered as the device filled it, and the trigger
// scans both channels before any split: here only the right channel of the
// second block reaches the level. Without a handler the same blocks are
// still scanned and handed back to the device.
TEST(Recorder, UnsplitStereoIsTriggeredAndDeliveredWholeAndNoHandlerStillCirculates) {
  std::vector<std::int16_t> s(2 * 2048 * 2, -1);
  s[2 * (2048 + 100) + 1] = 0;  // frame 100 of block 2, right channel
  for (const bool handler : {true, false}) {
    Capture c(Pacing::Manual, Signal::Of(s));
    c.rec().SetChannels(TChannels::Stereo);
    ASSERT_FALSE(c.rec().SplitChannels);
    std::vector<std::int16_t> block(2 * 2048);
    c.audio.OnRecord = nullptr;
    if (handler) {
      c.audio.OnRecord = [&](TObject*, void* LP, void* RP, WORD bytes) {
        c.blocks[c.count.load()] = Block{nullptr, RP != nullptr, bytes, 0, 0};
        if (c.count.load() == 0) std::memcpy(block.data(), LP, std::min<std::size_t>(bytes, 8192));
        c.count.fetch_add(1, std::memory_order_release);
      };
    }
    ASSERT_TRUE(c.rec().Start());
    c.sim.release(2048);
    ASSERT_TRUE(c.sim.pumpUntil([&] { return c.sim.buffersDelivered() >= 1; }));
    EXPECT_FALSE(c.rec().Triggered);
    c.sim.release(2048 * 7);
    ASSERT_TRUE(c.sim.pumpUntil([&] { return c.sim.buffersDelivered() >= 8; }));
    EXPECT_TRUE(c.rec().Triggered);
    EXPECT_TRUE(c.rec().DeviceOpen) << c.audio.ErrorMessage;
    ASSERT_TRUE(c.rec().Stop());
    if (!handler) continue;
    ASSERT_EQ(c.count.load(std::memory_order_acquire), 7u);
    EXPECT_EQ(c.blocks[0].bytes, 8192);
    EXPECT_FALSE(c.blocks[0].hasRight);
    EXPECT_EQ(block, std::vector<std::int16_t>(s.begin() + 2 * 2048, s.end()));
  }
}

TEST(Recorder, EmptyBufferGoesBackToTheDeviceAndCaptureGoesOn) {
  Capture c;
  ASSERT_TRUE(c.rec().Start());
  c.sim.shortNextBuffer(0);
  c.sim.release(2048 * 8);
  // Not triggered yet when the empty one comes: it is not delivered, but
  // the ring moves on and every later block arrives.
  ASSERT_TRUE(c.waitBlocks(8));
  c.rec().Stop();
  for (std::size_t i = 0; i < 8; ++i) ASSERT_EQ(c.blocks[i].bytes, 4096);

  Capture t;
  t.rec().Triggered = true;
  ASSERT_TRUE(t.rec().Start());
  t.sim.shortNextBuffer(0);
  t.sim.release(2048 * 4);
  ASSERT_TRUE(t.waitBlocks(5));  // triggered: the empty one is delivered too
  t.rec().Stop();
  EXPECT_EQ(t.blocks[0].bytes, 0);
  EXPECT_EQ(t.blocks[4].bytes, 4096);
}

// Each Stop leaves the last blocks' re-queue requests waiting; the next
// Start's messages handle them while the device hands back its first
// buffers. A request from before a Stop must queue nothing: not even a
// header that is back, since its block may still be in the callback's hands
// (ThreadSanitizer sees the write under the read; the block then arrives
// empty or not at all). The first block of each capture is held inside the
// handler while the waiting requests are handled.
TEST(Recorder, RequestsFromBeforeAStopQueueNothingInTheNextCapture) {
  Capture c(Pacing::Unpaced);
  c.rec().Triggered = true;  // every block is delivered, an empty one too
  std::atomic<bool> hold{false}, held{false};
  // A failed check lets the held callback go before the capture goes.
  const std::unique_ptr<std::atomic<bool>, void (*)(std::atomic<bool>*)> letGo(
      &hold, [](std::atomic<bool>* h) { h->store(false, std::memory_order_relaxed); });
  const TNotifyAudioRecordEvent record = c.audio.OnRecord;
  c.audio.OnRecord = [&](TObject* s, void* LP, void* RP, WORD n) {
    record(s, LP, RP, n);
    // Relaxed on both sides, so that waiting here orders nothing that the
    // component itself does not order.
    if (!hold.load(std::memory_order_relaxed)) return;
    held.store(true, std::memory_order_relaxed);
    quorvel_test::WaitUntil([&] { return !hold.load(std::memory_order_relaxed); });
  };
  for (unsigned cycle = 1; cycle <= 60; ++cycle) {
    const std::uint64_t base = c.sim.buffersDelivered();
    hold.store(true, std::memory_order_relaxed);
    held.store(false, std::memory_order_relaxed);
    ASSERT_TRUE(c.rec().Start()) << c.audio.ErrorMessage;
    ASSERT_TRUE(quorvel_test::WaitUntil([&] { return held.load(std::memory_order_relaxed); })) << "cycle " << cycle;
    // The previous capture's four requests, handled straight from the
    // recorder's window (not from inside Qt's event loop, whose frames the
    // race detector is told to ignore).
    c.rec().NotifyWindow->dispatchPending();
    hold.store(false, std::memory_order_relaxed);
    ASSERT_EQ(c.faults.calls(Call::waveInAddBuffer), 4 * cycle) << "cycle " << cycle;
    // Nothing is handed back: the device stops once all four are in.
    ASSERT_TRUE(c.sim.waitDelivered(base + 4));
    ASSERT_TRUE(c.rec().Stop()) << c.audio.ErrorMessage;
  }
  // The requests of the capture that runs still act.
  const std::uint64_t base = c.sim.buffersDelivered();
  ASSERT_TRUE(c.rec().Start()) << c.audio.ErrorMessage;
  ASSERT_TRUE(c.sim.pumpUntil([&] { return c.sim.buffersDelivered() >= base + 12; }));
  EXPECT_TRUE(c.rec().DeviceOpen) << c.audio.ErrorMessage;
  ASSERT_TRUE(c.rec().Stop());
  const std::size_t n = c.count.load(std::memory_order_acquire);
  for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(c.blocks[i].bytes, 4096) << "block " << i;
}

TEST(Recorder, StopDuringBlockDeliversNothingMoreAndReturnsEveryBuffer) {
  Capture c;
  ASSERT_TRUE(c.rec().Start());
  c.sim.release(1000);  // a partly filled buffer
  ASSERT_TRUE(PumpUntil([&] { return c.sim.framesProduced() >= 1000; }));
  ASSERT_TRUE(c.rec().Stop());
  EXPECT_EQ(c.count.load(), 0u);  // the reset's buffers are not delivered
  EXPECT_FALSE(c.rec().DeviceOpen);
  EXPECT_EQ(c.faults.calls(Call::waveInClose), 1u);
}

TEST(Recorder, DeviceThatDisappearsEndsCaptureWithItsReason) {
  Capture c;
  ASSERT_TRUE(c.rec().Start());
  c.sim.release(2048);
  ASSERT_TRUE(c.waitBlocks(1));
  c.sim.failDevice();
  ASSERT_TRUE(PumpUntil([&] { return !c.rec().DeviceOpen; }));
  EXPECT_EQ(c.audio.ErrorMessage.rfind("Error adding input buffer ", 0), 0u) << c.audio.ErrorMessage;
  EXPECT_NE(c.audio.ErrorMessage.find("simulated device removed"), std::string::npos);
}

// Every row of the failure table: the exact text, the result, the state.
TEST(RecorderFailures, OpenAndStart) {
  struct Case {
    Call call;
    unsigned nth;
    std::string text;
  };
  const Case cases[] = {
      {Call::waveInOpen, 1, "Could not open the input device for recording:  " + kNoMem},
      {Call::waveInPrepareHeader, 3, "Error preparing header for recording:  " + kNoMem},
      {Call::waveInAddBuffer, 1, "Error adding next input buffer"},
      {Call::waveInAddBuffer, 3, "Error adding next input buffer"},
      {Call::waveInStart, 1, "Error starting wave record:  " + kNoMem},
  };
  for (const Case& f : cases) {
    Capture c;
    c.faults.failCall(f.call, MMSYSERR_NOMEM, f.nth);
    EXPECT_FALSE(c.rec().Start());
    EXPECT_EQ(c.audio.ErrorMessage, f.text);
    EXPECT_FALSE(c.rec().DeviceOpen) << f.text;
  }
  {
    Capture c;  // a failing close after a failed start replaces the message
    c.faults.failCall(Call::waveInStart, MMSYSERR_NOMEM);
    c.faults.failCall(Call::waveInClose, MMSYSERR_NOMEM);
    EXPECT_FALSE(c.rec().Start());
    EXPECT_EQ(c.audio.ErrorMessage, "Error closing input device");
    EXPECT_TRUE(c.rec().DeviceOpen);
    c.faults.clearFaults();
    EXPECT_TRUE(c.rec().Stop());
  }
  {
    Capture c;  // storage refused for its size: that reason stays the one given
    c.rec().SetNoSamples(65535);
    const std::string reason = c.audio.ErrorMessage;
    ASSERT_EQ(reason.rfind("Wave Buffer size out of range: 65535 samples", 0), 0u) << reason;
    c.audio.ErrorMessage = "Recorder already closed";
    EXPECT_FALSE(c.rec().Start());
    EXPECT_EQ(c.audio.ErrorMessage, reason);
    EXPECT_EQ(c.faults.calls(Call::waveInOpen), 0u);
    auto stream = std::make_unique<QBuffer>();
    stream->open(QIODevice::ReadOnly);
    EXPECT_FALSE(c.audio.Player->Play(std::move(stream)));
    EXPECT_EQ(c.audio.ErrorMessage, reason);
  }
}

TEST(RecorderFailures, DuringCaptureAndClose) {
  {
    Capture c;
    ASSERT_TRUE(c.rec().Start());
    c.faults.failCall(Call::waveInAddBuffer, MMSYSERR_NOMEM);  // the first re-queue
    c.sim.release(2048);
    ASSERT_TRUE(PumpUntil([&] { return !c.rec().DeviceOpen; }));
    EXPECT_EQ(c.audio.ErrorMessage, "Error adding input buffer " + kNoMem);
  }
  {
    Capture c;
    EXPECT_TRUE(c.rec().Stop());
    EXPECT_EQ(c.audio.ErrorMessage, "Recorder already closed");
    EXPECT_TRUE(c.rec().Close());
  }
  // Stop fails where the device refuses, leaves it open, and works once
  // the device does.
  const std::tuple<Call, unsigned, std::string> refusals[] = {
      {Call::waveInReset, 1, "Error in waveInReset"},
      {Call::waveInUnprepareHeader, 2, "Error in waveInUnprepareHeader " + kNoMem},
      {Call::waveInClose, 1, "Error closing input device"},
  };
  for (const auto& [call, nth, text] : refusals) {
    Capture c;
    ASSERT_TRUE(c.rec().Start());
    c.faults.failCall(call, MMSYSERR_NOMEM, nth);
    EXPECT_FALSE(c.rec().Stop());
    EXPECT_EQ(c.audio.ErrorMessage, text);
    EXPECT_TRUE(c.rec().DeviceOpen) << text;
    EXPECT_TRUE(c.rec().Stop()) << text;
  }
  {
    Capture c;  // no system text: the prefix stands alone
    c.faults.failCall(Call::waveInOpen, MMSYSERR_NOMEM);
    c.faults.failCall(Call::waveInGetErrorTextA, MMSYSERR_BADERRNUM);
    EXPECT_FALSE(c.rec().Start());
    EXPECT_EQ(c.audio.ErrorMessage, "Could not open the input device for recording: ");
  }
}

// Capturing and playing when the session ends: both halves stop, every
// window goes (and every storage: the leak checker watches), and the
// owner's reference is cleared.
TEST(Component, EndOfSessionStopsBothHalvesFreesEverythingAndClearsTheOwnersReference) {
  SimAudioSystem sim;
  FaultInjection faults(sim);
  sim.setPacing(Pacing::Manual);
  QPointer<TAudio> a = new TAudio(nullptr, &faults);
  audio_test::ApplyMainWindowSettings(*a);
  ASSERT_TRUE(a->Recorder->Start());
  auto stream = std::make_unique<QBuffer>();
  stream->setData(QByteArray(64 * 1024, '\x22'));
  stream->open(QIODevice::ReadOnly);
  ASSERT_TRUE(a->Player->Play(std::move(stream)));
  const HWAVEIN waveIn = a->Recorder->WaveIn;
  const QPointer<NotifyWindow> windows[] = {a->NotifyWindow, a->Recorder->NotifyWindow, a->Player->RefillWindow,
                                            a->Player->CloseWindow, a->Mixer->MixerWindow};
  a->NotifyWindow->send(WM_QUERYENDSESSION, 0, 0);
  EXPECT_TRUE(a.isNull());
  EXPECT_FALSE(sim.isOpen(waveIn));
  EXPECT_EQ(sim.closesDelivered(), 1u);
  EXPECT_EQ(sim.outputsOpen(), 0u);
  EXPECT_EQ(faults.calls(Call::waveOutReset), 1u);
  for (const QPointer<NotifyWindow>& w : windows) EXPECT_TRUE(w.isNull());
}

// Both halves busy, then destroyed while each device refuses to stop: the
// devices must not live on to call back into, post to or fill the freed
// recorder, windows and buffers (AddressSanitizer watches the releases and
// the system's own closing of what is left).
TEST(Component, DestroyedWhileItsDevicesRefuseToStopLeavesNoneBehind) {
  const std::pair<Call, Call> refusals[] = {{Call::waveInReset, Call::waveOutReset},
                                            {Call::waveInUnprepareHeader, Call::waveOutUnprepareHeader},
                                            {Call::waveInClose, Call::waveOutClose}};
  for (const auto& [in, out] : refusals) {
    SimAudioSystem sim;
    FaultInjection faults(sim);
    sim.setPacing(Pacing::Manual);
    auto* a = new TAudio(nullptr, &faults);
    audio_test::ApplyMainWindowSettings(*a);
    a->Recorder->Triggered = true;
    a->OnRecord = [](TObject*, void*, void*, WORD) {};
    ASSERT_TRUE(a->Recorder->Start()) << a->ErrorMessage;
    auto stream = std::make_unique<QBuffer>();
    stream->setData(QByteArray(64 * 1024, '\x11'));
    stream->open(QIODevice::ReadOnly);
    ASSERT_TRUE(a->Player->Play(std::move(stream))) << a->ErrorMessage;
    const HWAVEIN waveIn = a->Recorder->WaveIn;
    const HWAVEOUT waveOut = a->Player->WaveOutHandle;
    faults.failCall(in, MMSYSERR_NOMEM, 1, true);
    faults.failCall(out, MMSYSERR_NOMEM, 1, true);
    delete a;
    EXPECT_FALSE(sim.isOpen(waveIn));
    EXPECT_FALSE(sim.isOpen(waveOut));
    EXPECT_EQ(sim.outputsOpen(), 0u);
    // Were they still open, these would reach freed memory.
    faults.clearFaults();
    sim.release(2048 * 4);
    sim.releasePlayback(1u << 16);
  }
}

}  // namespace
