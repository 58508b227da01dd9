// What an open wave device of either direction is made of: the device
// thread, the header queue, the owner's requests and the notifications.
// WaveInDevice and WaveOutDevice add only their run loops, which move frames
// between the queued headers and a CaptureSource or a PlaybackSink. The rules
// an owner relies on are those of AudioSystem.h.
//
// Threads: every public call comes from the owner's thread; run(), the
// source or sink and the notifications run on the device thread. The device
// thread never waits for its owner, so a request (reset, stop) that the
// owner waits for is answered within one read or write of the source or
// sink.
#pragma once

#include <atomic>
#include <semaphore>
#include <string>
#include <thread>

#include "platform/HeaderQueue.h"
#include "platform/NotifyWindow.h"
#include "platform/Types.h"
#include "platform/Waker.h"

namespace platform {

class WaveDevice {
 public:
  WaveDevice(const WaveDevice&) = delete;
  WaveDevice& operator=(const WaveDevice&) = delete;

  // Starts the device thread and waits for its open notification.
  MMRESULT open();
  MMRESULT prepare(WAVEHDR* header, UINT size) noexcept;
  MMRESULT unprepare(WAVEHDR* header, UINT size) noexcept;
  // Refused with WAVERR_STILLPLAYING while headers are queued.
  MMRESULT close() noexcept;

  // The code the device reports since its source or sink failed, or 0.
  MMRESULT failure() const noexcept { return failure_.load(std::memory_order_acquire); }
  // The reason for that failure (valid once failure() is non-zero).
  const std::string& failureDetail() const noexcept { return failureDetail_; }

  const WAVEFORMATEX& format() const noexcept { return format_; }

 protected:
  // The notifications of a direction: open, a header back, close.
  struct Messages {
    UINT open, done, close;
  };

  // An owner's request that the device thread carries out while the owner
  // waits: ask() returns once the device thread has called answer().
  class Request {
   public:
    // Owner's side.
    void ask(Waker& waker) noexcept;
    // Device thread's side.
    bool pending() const noexcept { return asked_.load(std::memory_order_acquire) != seen_; }
    void answer() noexcept;

   private:
    std::atomic<unsigned> asked_{0};
    std::atomic<unsigned> answered_{0};
    unsigned asks_ = 0;  // owner's side
    unsigned seen_ = 0;  // device thread's side
  };

  WaveDevice(const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance, DWORD flags, Messages messages);
  // The derived destructor calls stopThread() first: the device thread must
  // not run on while the derived part is taken down.
  virtual ~WaveDevice();
  void stopThread() noexcept;

  // Device thread: the direction's loop, from after the open notification
  // until closing(); the close notification follows it.
  virtual void run() = 0;
  // Calls the owner's callback function (CALLBACK_FUNCTION) with the
  // device's own handle.
  virtual void callFunction(DWORD_PTR function, UINT msg, DWORD_PTR instance, DWORD_PTR param) noexcept = 0;
  // The device's handle, as a window notification's wParam.
  virtual WPARAM handle() const noexcept = 0;

  // Owner's side: queues the header and wakes a device thread that sleeps
  // for want of one.
  MMRESULT enqueue(WAVEHDR* header, UINT size) noexcept;

  // Device thread's side.
  bool closing() const noexcept { return closing_.load(std::memory_order_acquire); }
  void notify(UINT msg, DWORD_PTR param) noexcept;
  // Hands the oldest queued header (or every one) back to the owner.
  void returnFront() noexcept;
  void returnAll() noexcept;
  // Sleeps until a header is queued or the owner asks for something.
  void waitForHeader() noexcept;
  // Publishes the failure of the source or sink and hands every header back.
  void fail(MMRESULT code, std::string detail) noexcept;

  const WAVEFORMATEX format_;
  HeaderQueue queue_;
  Waker waker_;
  Request reset_;
  // Device thread: bytes of the front header already with the sink (output;
  // input counts them in the header's dwBytesRecorded).
  DWORD moved_ = 0;

 private:
  void threadMain();

  const DWORD_PTR callback_;
  const DWORD_PTR instance_;
  const DWORD flags_;
  const Messages messages_;

  std::thread thread_;
  std::binary_semaphore opened_{0};
  std::atomic<bool> closing_{false};
  std::atomic<bool> waitingForHeader_{false};  // the device thread sleeps for want of a header

  std::atomic<MMRESULT> failure_{0};
  std::string failureDetail_;  // written by the device thread before failure_ is published
};

}  // namespace platform
