// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the tests on the real sound stack share: wave devices driven through
// a back-end as an owner drives them (a capture that keeps every block, a
// playback fed from a block of data), signals played into the private sound
// server's null sink, whose monitor ALSA's default device captures, and
// what a test writes on stderr.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/AudioSystem.h"
#include "platform/Types.h"
#include "platform/alsa/AlsaAudioSystem.h"
#include "tests/support/Signals.h"
#include "tests/support/SoundServer.h"

namespace quorvel_test {

using Clock = std::chrono::steady_clock;

// The main window's block and rate.
constexpr std::size_t kFrames = 2048;
constexpr unsigned kRate = 44100;

// A test of the ALSA back-end on the suite's private sound server; skipped
// without one.
class AlsaOnSoundServer : public ::testing::Test {
 protected:
  void SetUp() override;
  platform::alsa::AlsaAudioSystem system;
};

// What Capture and Playback share: a wave device of one direction
// (`Handle`: HWAVEIN or HWAVEOUT) with `buffers` headers of `bufferBytes`
// bytes, its open and close notifications counted. A derived class's
// destructor calls shutDown() while the storage its handedBack() writes
// still lives.
template <typename Handle>
class WaveHarness {
 public:
  // Opens the device and prepares every header; MMSYSERR_ERROR unless the
  // open notification came once.
  platform::MMRESULT open();
  // Resets the device; every header is back when it returns.
  platform::MMRESULT reset();
  // Unprepares every header and closes the device (an output device plays
  // out first); MMSYSERR_ERROR unless the close notification came once.
  platform::MMRESULT close();

  // Headers with the device (queued and not yet handed back).
  std::size_t withDevice() const;
  std::string errorText(platform::MMRESULT code);
  Handle handle() const { return handle_; }
  int opens() const { return opens_.load(); }
  int closes() const { return closes_.load(); }

 protected:
  WaveHarness(platform::AudioSystem& system, platform::UINT device, const platform::WAVEFORMATEX& format,
              std::size_t buffers, std::size_t bufferBytes);
  ~WaveHarness() = default;
  // Resets and closes a device left open.
  void shutDown();
  // On the device thread, for each header handed back: only record, in
  // storage reserved up front. The header is the owner's again once it
  // returns, as when a handler has returned.
  virtual void handedBack(const platform::WAVEHDR& header) = 0;

  platform::AudioSystem& system_;
  const platform::WAVEFORMATEX format_;
  const std::size_t bufferBytes_;
  std::vector<platform::WAVEHDR> headers_;

 private:
  static constexpr bool kIn = std::is_same_v<Handle, platform::HWAVEIN>;
  static void Callback(Handle, platform::UINT msg, platform::DWORD_PTR instance, platform::DWORD_PTR p1,
                       platform::DWORD_PTR);

  const platform::UINT device_;
  std::vector<std::vector<char>> memory_;  // the headers' buffers
  Handle handle_ = nullptr;
  std::atomic<int> opens_{0}, closes_{0};
};

// A wave-input device with `buffers` buffers of `frames` frames circulating:
// each returned block (bytes and the time it came) is kept, and pump() hands
// each buffer back to the device from the test's thread once the callback
// is done with it, as an owner does.
class Capture final : public WaveHarness<platform::HWAVEIN> {
 public:
  Capture(platform::AudioSystem& system, platform::UINT device, const platform::WAVEFORMATEX& format,
          std::size_t frames, std::size_t buffers = 4, std::size_t maxBlocks = 4096);
  ~Capture();

  // Queues every buffer and starts the device.
  platform::MMRESULT start();
  // Re-queues returned buffers for `duration`, or until `blocks` blocks have
  // come or the device fails. The device's code of the first failed call.
  platform::MMRESULT pump(std::chrono::milliseconds duration, std::size_t blocks = SIZE_MAX);

  std::size_t blockCount() const { return count_.load(std::memory_order_acquire); }
  // Block i: its bytes (as many as were recorded) and when it came.
  std::span<const std::uint8_t> bytes(std::size_t i) const;
  Clock::time_point at(std::size_t i) const { return times_[i]; }
  // Every block's 16-bit samples, one after the other.
  std::vector<std::int16_t> samples16() const;
  // While open: the ALSA source's overruns and period size.
  std::size_t overruns() const;
  unsigned long periodFrames() const;

 private:
  void handedBack(const platform::WAVEHDR& header) override;

  const std::size_t maxBlocks_;
  std::vector<std::uint8_t> store_;  // maxBlocks_ blocks of bufferBytes_
  std::vector<platform::DWORD> sizes_;
  std::vector<Clock::time_point> times_;
  std::atomic<std::size_t> count_{0};
  std::atomic<std::size_t> handled_{0};  // handedBack() calls finished
  std::size_t taken_ = 0;                // of those, the buffers re-queued (or started afresh)
  std::size_t next_ = 0;                 // the header to re-queue next, in queue order
};

// A wave-output device fed from a block of data in the way an owner feeds
// it: a few buffers circulate, each written again with the next part of the
// data once it has come back; which write came back, and in what state, is
// recorded.
class Playback final : public WaveHarness<platform::HWAVEOUT> {
 public:
  // `data` is played in pieces of `bufferBytes` (the last may be shorter)
  // through `buffers` headers.
  Playback(platform::AudioSystem& system, platform::UINT device, const platform::WAVEFORMATEX& format,
           std::vector<std::uint8_t> data, std::size_t bufferBytes, std::size_t buffers = 4);
  ~Playback();

  // Writes the next pieces into every buffer that is free; the code of the
  // first write that failed.
  platform::MMRESULT feed();
  // Only closes: what the device says while headers are queued.
  platform::MMRESULT closeOnly();

  bool allWritten() const { return next_ >= data_.size(); }
  std::size_t written() const { return writes_; }
  std::size_t returned() const { return returned_.load(std::memory_order_acquire); }
  // Every header came back once, in write order, done and out of the queue.
  bool returnedInOrderAndDone() const;
  std::size_t underruns() const;

 private:
  void handedBack(const platform::WAVEHDR& header) override;

  const std::vector<std::uint8_t> data_;
  std::size_t next_ = 0;    // the data's first byte not written yet
  std::size_t writes_ = 0;  // headers written so far; write n uses buffer n % buffers
  // Device thread: per returned header, its write number and whether it was
  // done and out of the queue; returned_ publishes them.
  std::vector<std::size_t> order_;
  std::vector<char> doneOnReturn_;
  std::atomic<std::size_t> returned_{0};
};

// Plays raw 16-bit little-endian samples (interleaved `channels`) at `rate`
// into the sound server's default sink, from a file, with pacat. A short
// server-side buffer (`latencyMs`) keeps the stream's start, which the null
// sink, rendering ahead, loses behind a long one; a long one rides out a
// busy machine without breaking up.
class Player {
 public:
  Player(const std::vector<std::int16_t>& samples, unsigned rate, unsigned channels, unsigned latencyMs = 50);
  ~Player();  // stops playing
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;
  bool running() const { return pid_ > 0; }

 private:
  std::string file_;
  pid_t pid_ = -1;
};

// Whatever this process writes on stderr while it lives.
class StderrCatcher {
 public:
  StderrCatcher();
  ~StderrCatcher();
  StderrCatcher(const StderrCatcher&) = delete;
  StderrCatcher& operator=(const StderrCatcher&) = delete;
  std::string text();

 private:
  void restore();
  FILE* file_;
  int saved_;
};

}  // namespace quorvel_test
