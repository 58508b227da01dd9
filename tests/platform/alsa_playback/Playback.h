// A wave-output device through a back-end, fed from a block of data in the
// way an owner feeds it: a few buffers circulate, each written again with
// the next part of the data once its MM_WOM_DONE callback has returned. The
// callback (on the device thread) only records, in storage reserved up
// front, which write came back and in what state.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/AudioSystem.h"
#include "platform/Types.h"

namespace quorvel_test {

class Playback {
 public:
  // `data` is played in pieces of `bufferBytes` (the last may be shorter)
  // through `buffers` headers.
  Playback(platform::AudioSystem& system, platform::UINT device, const platform::WAVEFORMATEX& format,
           std::vector<std::uint8_t> data, std::size_t bufferBytes, std::size_t buffers = 4);
  ~Playback();  // resets and closes a device left open

  // Opens the device and prepares every header.
  platform::MMRESULT open();
  // Writes the next pieces into every buffer that is free; the code of the
  // first write that failed.
  platform::MMRESULT feed();
  // Resets the device; every header is back when it returns.
  platform::MMRESULT reset();
  // Unprepares every header and closes the device (which plays out first).
  platform::MMRESULT close();
  // Only closes: what the device says while headers are queued.
  platform::MMRESULT closeOnly();

  bool allWritten() const { return next_ >= data_.size(); }
  std::size_t written() const { return writes_; }
  std::size_t returned() const { return returned_.load(std::memory_order_acquire); }
  // Headers written and not yet handed back (WHDR_INQUEUE).
  std::size_t withDevice() const;
  // Every header came back once, in write order, done and out of the queue.
  bool returnedInOrderAndDone() const;
  int opens() const { return opens_.load(); }
  int closes() const { return closes_.load(); }
  std::size_t underruns() const;
  std::string errorText(platform::MMRESULT code);
  platform::HWAVEOUT handle() const { return handle_; }

 private:
  static void Callback(platform::HWAVEOUT, platform::UINT msg, platform::DWORD_PTR instance, platform::DWORD_PTR p1,
                       platform::DWORD_PTR);

  platform::AudioSystem& system_;
  const platform::UINT device_;
  const platform::WAVEFORMATEX format_;
  const std::vector<std::uint8_t> data_;
  const std::size_t bufferBytes_;
  std::vector<std::vector<char>> buffers_;
  std::vector<platform::WAVEHDR> headers_;
  platform::HWAVEOUT handle_ = nullptr;
  std::size_t next_ = 0;    // the data's first byte not written yet
  std::size_t writes_ = 0;  // headers written so far; write n uses buffer n % buffers
  // Device thread: per returned header, its write number and whether it was
  // done and out of the queue; returned_ publishes them.
  std::vector<std::size_t> order_;
  std::vector<char> doneOnReturn_;
  std::atomic<std::size_t> returned_{0};
  std::atomic<int> opens_{0}, closes_{0};
};

// A sine of `hz` in the format's bytes (8-bit unsigned or 16-bit
// little-endian), channel c at amplitudes[c] of full scale.
std::vector<std::uint8_t> ToneBytes(const platform::WAVEFORMATEX& format, double seconds, double hz,
                                    const std::vector<double>& amplitudes);

}  // namespace quorvel_test
