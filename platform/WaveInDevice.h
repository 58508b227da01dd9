// One open wave-input device: the device thread, the header queue and the
// notifications, the same on every back-end (the frames come from a
// CaptureSource).
//
// What its owner can rely on:
// - MM_WIM_OPEN has been delivered when open() returns; MM_WIM_CLOSE when
//   close() returns, and no notification follows it.
// - Every queued header comes back exactly once with MM_WIM_DATA, in queue
//   order, with dwBytesRecorded set, on the device thread.
// - reset() stops capture and returns only when every queued header has come
//   back (a partly filled one with what it holds).
// - The device thread sleeps while capture is stopped or no header is queued.
// - When the source fails (a device that disappeared), every queued header
//   comes back with what it holds and every later call but reset, unprepare
//   and close reports the failure's code.
//
// The callback (CALLBACK_FUNCTION) runs on the device thread: it must not
// call the device, allocate, lock or wait. With CALLBACK_WINDOW the
// notifications are posted to the window instead (wParam: the handle,
// lParam: the header).
//
// All calls but the notifications come from one owner thread.
#pragma once

#include <atomic>
#include <memory>
#include <semaphore>
#include <string>
#include <thread>

#include "platform/CaptureSource.h"
#include "platform/HeaderQueue.h"
#include "platform/Types.h"
#include "platform/Waker.h"

namespace platform {

class WaveInDevice {
 public:
  WaveInDevice(std::unique_ptr<CaptureSource> source, const WAVEFORMATEX& format, DWORD_PTR callback,
               DWORD_PTR instance, DWORD flags);
  ~WaveInDevice();
  WaveInDevice(const WaveInDevice&) = delete;
  WaveInDevice& operator=(const WaveInDevice&) = delete;

  // Starts the device thread and waits for its open notification.
  MMRESULT open();
  MMRESULT prepare(WAVEHDR* header, UINT size) noexcept;
  MMRESULT unprepare(WAVEHDR* header, UINT size) noexcept;
  MMRESULT add(WAVEHDR* header, UINT size) noexcept;
  MMRESULT start() noexcept;
  MMRESULT stop() noexcept;
  MMRESULT reset() noexcept;
  // Refused with WAVERR_STILLPLAYING while headers are queued.
  MMRESULT close() noexcept;

  // The code the device reports since its source failed, or 0.
  MMRESULT failure() const noexcept { return failure_.load(std::memory_order_acquire); }
  // The source's reason for that failure (valid once failure() is non-zero).
  const std::string& failureDetail() const noexcept { return failureDetail_; }

  const WAVEFORMATEX& format() const noexcept { return format_; }
  CaptureSource& source() noexcept { return *source_; }

 private:
  void run();
  void notify(UINT msg, DWORD_PTR param) noexcept;
  // Hands the oldest queued header (or every one) back to the owner.
  void returnFront() noexcept;
  void returnAll() noexcept;
  void request(unsigned& counter, std::atomic<unsigned>& ask, std::atomic<unsigned>& done) noexcept;
  void fail(MMRESULT code) noexcept;
  void waitForHeader() noexcept;

  std::unique_ptr<CaptureSource> source_;
  const WAVEFORMATEX format_;
  const DWORD_PTR callback_;
  const DWORD_PTR instance_;
  const DWORD flags_;

  HeaderQueue queue_;
  Waker waker_;
  std::thread thread_;
  std::binary_semaphore opened_{0};

  // Owner's requests, seen by the device thread.
  std::atomic<bool> running_{false};
  std::atomic<bool> closing_{false};
  std::atomic<bool> waitingForHeader_{false};  // the device thread sleeps for want of a header
  std::atomic<unsigned> resetAsked_{0};
  std::atomic<unsigned> resetDone_{0};
  std::atomic<unsigned> stopAsked_{0};
  std::atomic<unsigned> stopDone_{0};
  unsigned resets_ = 0;  // owner's side
  unsigned stops_ = 0;   // owner's side

  std::atomic<MMRESULT> failure_{0};
  std::string failureDetail_;  // written by the device thread before failure_ is published
};

}  // namespace platform
