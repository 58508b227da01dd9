// One open wave-output device: the device thread, the header queue and the
// notifications, the same on every back-end (the frames go to a
// PlaybackSink).
//
// What its owner can rely on:
// - MM_WOM_OPEN is delivered (or posted) before open() returns, and
//   MM_WOM_CLOSE before close() returns; no notification follows it.
// - Every written header comes back exactly once with MM_WOM_DONE, in write
//   order, once all its bytes are with the sink; whole frames are played, a
//   trailing partial frame is not.
// - reset() throws away what is not played yet and returns only when every
//   written header has come back.
// - close() lets what the sink holds play out first, so the end of the data
//   is heard; it is refused with WAVERR_STILLPLAYING while headers are
//   queued.
// - When the sink fails (a device that disappeared), every queued header
//   comes back and every later call but reset, unprepare and close reports
//   the failure's code.
//
// Notifications: with CALLBACK_WINDOW they are posted to the window
// (wParam: the handle, lParam: the header); with CALLBACK_FUNCTION the
// callback runs on the device thread and must not call the device,
// allocate, lock or wait.
//
// All calls but the notifications come from one owner thread.
#pragma once

#include <atomic>
#include <memory>
#include <semaphore>
#include <string>
#include <thread>

#include "platform/HeaderQueue.h"
#include "platform/PlaybackSink.h"
#include "platform/Types.h"
#include "platform/Waker.h"

namespace platform {

class WaveOutDevice {
 public:
  WaveOutDevice(std::unique_ptr<PlaybackSink> sink, const WAVEFORMATEX& format, DWORD_PTR callback,
                DWORD_PTR instance, DWORD flags);
  ~WaveOutDevice();
  WaveOutDevice(const WaveOutDevice&) = delete;
  WaveOutDevice& operator=(const WaveOutDevice&) = delete;

  // Starts the device thread and waits for its open notification.
  MMRESULT open();
  MMRESULT prepare(WAVEHDR* header, UINT size) noexcept;
  MMRESULT unprepare(WAVEHDR* header, UINT size) noexcept;
  MMRESULT write(WAVEHDR* header, UINT size) noexcept;
  MMRESULT reset() noexcept;
  MMRESULT close() noexcept;

  // The code the device reports since its sink failed, or 0.
  MMRESULT failure() const noexcept { return failure_.load(std::memory_order_acquire); }
  // The sink's reason for that failure (valid once failure() is non-zero).
  const std::string& failureDetail() const noexcept { return failureDetail_; }

  const WAVEFORMATEX& format() const noexcept { return format_; }
  PlaybackSink& sink() noexcept { return *sink_; }

 private:
  void run();
  void notify(UINT msg, DWORD_PTR param) noexcept;
  void returnFront() noexcept;
  void returnAll() noexcept;
  void fail(MMRESULT code) noexcept;
  void waitForHeader() noexcept;

  std::unique_ptr<PlaybackSink> sink_;
  const WAVEFORMATEX format_;
  const DWORD_PTR callback_;
  const DWORD_PTR instance_;
  const DWORD flags_;

  HeaderQueue queue_;
  Waker waker_;
  std::thread thread_;
  std::binary_semaphore opened_{0};

  std::atomic<bool> closing_{false};
  std::atomic<bool> waitingForHeader_{false};
  std::atomic<unsigned> resetAsked_{0};
  std::atomic<unsigned> resetDone_{0};
  unsigned resets_ = 0;  // owner's side
  // Device thread: bytes of the front header already with the sink.
  DWORD offset_ = 0;

  std::atomic<MMRESULT> failure_{0};
  std::string failureDetail_;  // written by the device thread before failure_ is published
};

}  // namespace platform
