// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What an open wave device of either direction is made of: the device
// thread, the header queue, the owner's requests and the notifications.
// WaveInDevice and WaveOutDevice add only their run loops, which move frames
// between the queued headers and a CaptureSource or a PlaybackSink. The rules
// an owner relies on are those of AudioSystem.h.
//
// Threads: every public call comes from the owner's thread; run(), the
// source or sink and the notifications run on the device thread. The device
// thread never waits for its owner, so a request (reset, stop, close) is
// answered within one read or write of the source or sink, unless that
// blocks (a sound server that does not answer). The owner waits
// kDeviceAnswerLimit at most, then abandons the device: the OwnerFence keeps
// the thread away from the owner's headers, buffers and callbacks from then
// on, the owner hands the headers back and sends the close notification
// itself, and the thread, woken wherever it sleeps, ends as soon as its
// source or sink lets it go. The source or sink therefore never sees the
// owner's buffers: frames pass through the device's own bounce buffer.
//
// The source or sink is closed on the device thread in every case, since
// that too may wait for a sound server; the thread deletes the device when
// it ends after its owner let go of it.
#pragma once

#include <atomic>
#include <semaphore>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AudioSystem.h"
#include "platform/HeaderQueue.h"
#include "platform/NotifyWindow.h"
#include "platform/OwnerFence.h"
#include "platform/Types.h"
#include "platform/Waker.h"

namespace platform {

class WaveDevice {
 public:
  WaveDevice(const WaveDevice&) = delete;
  WaveDevice& operator=(const WaveDevice&) = delete;

  // Starts the device thread and waits for its open notification.
  // MMSYSERR_NOMEM, with the reason in `why`, when no thread can start.
  MMRESULT open(std::string& why) noexcept;
  MMRESULT prepare(WAVEHDR* header, UINT size) noexcept;
  MMRESULT unprepare(WAVEHDR* header, UINT size) noexcept;
  // Ends the device thread (or abandons it); the close notification has
  // been sent when it returns. Refused with WAVERR_STILLPLAYING while
  // headers are queued.
  MMRESULT close() noexcept;
  // The same whatever is queued: the headers are let go, not returned, and
  // nothing written plays out.
  void forceClose() noexcept;
  // After close() or forceClose(): deletes the device, or leaves that to its
  // thread while the thread is still stuck in its source or sink.
  static void Release(WaveDevice* device) noexcept;

  // The code the device reports since its source or sink failed or it was
  // abandoned, or 0.
  MMRESULT failure() const noexcept { return failure_.load(std::memory_order_acquire); }
  // The reason for that failure (valid once failure() is non-zero).
  const std::string& failureDetail() const noexcept { return failureDetail_; }

  const WAVEFORMATEX& format() const noexcept { return format_; }
  // Its owner gave up waiting for it (any thread may ask).
  bool abandoned() const noexcept { return fence_.isShut(); }
  // Owner's side: true once, the first time it is asked after the owner gave
  // up on the device.
  bool newlyAbandoned() noexcept { return abandoned() && !std::exchange(abandonCounted_, true); }

  // The latest stamp the device thread published; false before any. The
  // owner's side, or the device's own thread.
  bool readStamp(WAVESTAMP& stamp) const noexcept;
  // Whether the caller runs on this device's thread: compares addresses
  // only, so any handle may be asked, open or not.
  static bool OnOwnThread(const WaveDevice* device) noexcept;

 protected:
  // The notifications of a direction: open, a header back, close.
  struct Messages {
    UINT open, done, close;
  };

  // An owner's request that the device thread carries out while the owner
  // waits: ask() returns once the device thread has called answer().
  class Request {
   public:
    // Owner's side; false when no answer came within kDeviceAnswerLimit.
    bool ask(Waker& waker) noexcept;
    // Device thread's side.
    bool pending() const noexcept { return asked_.load(std::memory_order_acquire) != seen_; }
    void answer() noexcept;

   private:
    std::atomic<unsigned> asked_{0};
    std::binary_semaphore answered_{0};
    unsigned asks_ = 0;  // owner's side
    unsigned seen_ = 0;  // device thread's side
  };

  // threadName: the device thread's name as tools such as top and perf show
  // it (at most 15 characters).
  WaveDevice(const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance, DWORD flags, Messages messages,
             const char* threadName);
  virtual ~WaveDevice() = default;

  // Device thread: the direction's loop, from after the open notification
  // until closing(); it ends inside the fence. False when the owner
  // abandoned the device meanwhile: the thread then touches nothing of the
  // owner's any more.
  virtual bool run() = 0;
  // Device thread, outside the fence, after run(): closes the source or
  // sink (an output device first lets what it holds play out, when
  // `playOut`). May wait for a sound server.
  virtual void closeStream(bool playOut) noexcept = 0;
  // Calls the owner's callback function (CALLBACK_FUNCTION) with the
  // device's own handle.
  virtual void callFunction(DWORD_PTR function, UINT msg, DWORD_PTR instance, DWORD_PTR param) noexcept = 0;
  // The device's handle, as a window notification's wParam.
  virtual WPARAM handle() const noexcept = 0;
  // Owner's side: the device has frames to play out when it closes, which
  // the close waits for too (kPlayOutLimit).
  virtual bool playsOut() const noexcept { return false; }

  // Owner's side: queues the header and wakes a device thread that sleeps
  // for want of one.
  MMRESULT enqueue(WAVEHDR* header, UINT size) noexcept;
  // Owner's side: asks and waits; on no answer the device is abandoned and
  // every queued header is back. False then.
  bool ask(Request& request) noexcept;

  // Device thread's side. The thread is inside the owner's fence except in
  // outside(), which runs a call that may block (the source's or sink's, or
  // a sleep); false when the device was abandoned meanwhile.
  template <typename Call>
  bool outside(Call&& call) {
    fence_.leave();
    call();
    return fence_.enter();
  }
  bool closing() const noexcept { return closing_.load(std::memory_order_acquire); }
  void notify(UINT msg, DWORD_PTR param) noexcept;
  // Hands the oldest queued header (or every one) back to the owner.
  void returnFront() noexcept;
  void returnAll() noexcept;
  // Sleeps until a header is queued or the owner asks for something; false
  // when the device was abandoned meanwhile.
  bool waitForHeader() noexcept;
  // Device thread: publishes where the stream stands (a sequence lock of
  // atomics: the owner never waits, the device thread never blocks).
  void publishStamp(const WAVESTAMP& stamp) noexcept;
  // Publishes the failure of the source or sink and hands every header back.
  void fail(MMRESULT code, std::string detail) noexcept;

  const WAVEFORMATEX format_;
  HeaderQueue queue_;
  Waker waker_;
  Request reset_;
  // Device thread: bytes of the front header already with the sink (output;
  // input counts them in the header's dwBytesRecorded).
  DWORD moved_ = 0;
  // Device thread: what the source or sink reads or writes, in whole frames.
  std::vector<BYTE> bounce_;

 private:
  void threadMain();
  // Owner's side: ends the thread within kDeviceAnswerLimit (and
  // kPlayOutLimit while it plays out, unless `forced`) or abandons it.
  void end(bool forced) noexcept;
  // Owner's side: shuts the fence and wakes the thread; the device reports
  // itself lost.
  void abandon() noexcept;

  const DWORD_PTR callback_;
  const DWORD_PTR instance_;
  const DWORD flags_;
  const Messages messages_;
  const char* const threadName_;

  std::thread thread_;
  OwnerFence fence_;
  std::binary_semaphore opened_{0};
  std::binary_semaphore ended_{0};
  bool closeSent_ = false;       // written inside the fence
  bool abandonCounted_ = false;  // owner's side
  std::atomic<bool> closing_{false};
  std::atomic<bool> forced_{false};            // the close is a forced one: nothing plays out
  std::atomic<bool> waitingForHeader_{false};  // the device thread sleeps for want of a header

  std::atomic<unsigned> stampSequence_{0};  // odd while a stamp is written; 0: none yet
  std::atomic<std::uint64_t> stampFrames_{0};
  std::atomic<std::int64_t> stampNanoseconds_{0};

  std::atomic<MMRESULT> failure_{0};
  std::string failureDetail_;  // written by the device thread (or the abandoning owner) before failure_ is published
};

}  // namespace platform
