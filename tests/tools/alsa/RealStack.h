// What the ALSA back-end's tests on the real sound stack share: a capture
// through the back-end that keeps every block, and signals played into the
// private sound server's null sink, whose monitor ALSA's default device
// captures.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/AudioSystem.h"
#include "platform/Types.h"

namespace quorvel_test {

using Clock = std::chrono::steady_clock;

// True when a private sound server is reachable (scripts/sound-server's
// environment is set).
bool SoundServerConfigured();

// A wave-input device with `buffers` buffers of `frames` frames circulating:
// the device thread's callback keeps each returned block (bytes and the time
// it came) in storage reserved up front, and pump() hands each buffer back to
// the device from the test's thread once the callback is done with it, as an
// owner does.
class Capture {
 public:
  Capture(platform::AudioSystem& system, platform::UINT device, const platform::WAVEFORMATEX& format,
          std::size_t frames, std::size_t buffers = 4, std::size_t maxBlocks = 4096);
  ~Capture();

  platform::MMRESULT open();
  // Queues every buffer and starts the device.
  platform::MMRESULT start();
  // Re-queues returned buffers for `duration`, or until `blocks` blocks have
  // come or the device fails. The device's code of the first failed call.
  platform::MMRESULT pump(std::chrono::milliseconds duration, std::size_t blocks = SIZE_MAX);
  // Stops the device; every buffer is back when it returns.
  platform::MMRESULT reset();
  // Unprepares the buffers and closes the device.
  platform::MMRESULT close();

  std::size_t blockCount() const { return count_.load(std::memory_order_acquire); }
  // Block i: its bytes (as many as were recorded) and when it came.
  std::span<const std::uint8_t> bytes(std::size_t i) const;
  Clock::time_point at(std::size_t i) const { return times_[i]; }
  // Every block's 16-bit samples, one after the other.
  std::vector<std::int16_t> samples16() const;
  // Buffers with the device (queued and not yet returned).
  std::size_t withDevice() const;
  std::string errorText(platform::MMRESULT code);
  // While open: the ALSA source's overruns and period size.
  std::size_t overruns() const;
  unsigned long periodFrames() const;
  platform::HWAVEIN handle() const { return handle_; }

 private:
  static void Callback(platform::HWAVEIN, platform::UINT msg, platform::DWORD_PTR instance, platform::DWORD_PTR p1,
                       platform::DWORD_PTR);

  platform::AudioSystem& system_;
  const platform::UINT device_;
  const platform::WAVEFORMATEX format_;
  std::vector<std::vector<char>> data_;
  std::vector<platform::WAVEHDR> headers_;
  const std::size_t bufferBytes_;
  const std::size_t maxBlocks_;
  std::vector<std::uint8_t> store_;  // maxBlocks_ blocks of bufferBytes_
  std::vector<platform::DWORD> sizes_;
  std::vector<Clock::time_point> times_;
  std::atomic<std::size_t> count_{0};
  std::atomic<int> opens_{0}, closes_{0};
  platform::HWAVEIN handle_ = nullptr;
  std::atomic<std::size_t> handled_{0};  // MM_WIM_DATA callbacks finished
  std::size_t taken_ = 0;                // of those, the buffers re-queued (or started afresh)
  std::size_t next_ = 0;                 // the header to re-queue next, in queue order
};

// Plays raw 16-bit little-endian samples (interleaved `channels`) at `rate`
// into the sound server's default sink, from a file, with pacat.
class Player {
 public:
  Player(const std::vector<std::int16_t>& samples, unsigned rate, unsigned channels);
  ~Player();  // stops playing
  bool running() const { return pid_ > 0; }

 private:
  std::string file_;
  pid_t pid_ = -1;
};

// Samples of a counter: sample i is (start + i) as a 16-bit value, wrapping.
std::vector<std::int16_t> CounterSignal(std::size_t frames, std::int16_t start = 0);
// A sine of `hz` at `amplitude` of full scale, `channels` times interleaved.
std::vector<std::int16_t> SineSignal(std::size_t frames, unsigned rate, double hz, double amplitude,
                                     unsigned channels = 1);

platform::WAVEFORMATEX PcmFormat(unsigned channels, unsigned bits, unsigned rate);

// Runs scripts/sound-server with its own directory `dir`; "start" prints
// the lines that point a client at that server, which this process takes
// over. For tests that stop and start a server of their own.
bool RunPrivateSoundServer(const std::string& dir, const char* command);

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
