// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/WaveDevice.h"

#include "platform/AudioSystem.h"
#include "platform/BoundedCall.h"
#include "platform/ResultCodes.h"
#include "platform/StartThread.h"

#include <pthread.h>

namespace platform {
namespace {
// The bounce buffer's size: a block of the component's largest buffers.
constexpr std::size_t kBounceBytes = 65536;
}  // namespace

WaveDevice::WaveDevice(const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance, DWORD flags,
                       Messages messages, const char* threadName)
    : format_(format),
      bounce_(kBounceBytes),
      callback_(callback),
      instance_(instance),
      flags_(flags),
      messages_(messages),
      threadName_(threadName) {}

MMRESULT WaveDevice::open(std::string& why) noexcept {
  if (!waker_.valid()) {
    why = "no event descriptor for the device's thread";
    return MMSYSERR_NOMEM;
  }
  if (!StartThread(thread_, [this] { threadMain(); })) {
    why = NoThreadReason();
    return MMSYSERR_NOMEM;
  }
  opened_.acquire();
  return MMSYSERR_NOERROR;
}

namespace {
// The device whose thread this is; none on any other thread.
thread_local const WaveDevice* tOwnDevice = nullptr;
}  // namespace

bool WaveDevice::OnOwnThread(const WaveDevice* device) noexcept { return device != nullptr && device == tOwnDevice; }

void WaveDevice::threadMain() {
  tOwnDevice = this;
  pthread_setname_np(pthread_self(), threadName_);
  // Nobody can shut the fence yet: the owner waits for the open notification.
  fence_.enter();
  notify(messages_.open, 0);
  opened_.release();
  const bool answered = run();
  const bool playOut = answered && !forced_.load(std::memory_order_acquire) && failure() == MMSYSERR_NOERROR;
  if (answered) fence_.leave();
  closeStream(playOut);
  // The close notification comes last, once the stream is closed, unless
  // the owner gave up meanwhile and sent it itself.
  if (fence_.enter()) {
    notify(messages_.close, 0);
    closeSent_ = true;
    fence_.leave();
  }
  ended_.release();
  if (fence_.end()) delete this;
}

MMRESULT WaveDevice::prepare(WAVEHDR* header, UINT size) noexcept {
  if (MMRESULT f = failure()) return f;
  return HeaderQueue::prepare(header, size);
}

MMRESULT WaveDevice::unprepare(WAVEHDR* header, UINT size) noexcept { return HeaderQueue::unprepare(header, size); }

MMRESULT WaveDevice::enqueue(WAVEHDR* header, UINT size) noexcept {
  if (MMRESULT f = failure()) return f;
  const MMRESULT rc = queue_.add(header, size);
  // A device thread that is moving frames has a header already; only one
  // that sleeps (or is about to) for want of a buffer needs waking. Looking
  // at the queue before adding would miss a device that empties it
  // meanwhile.
  if (rc == MMSYSERR_NOERROR && waitingForHeader_.exchange(false)) waker_.wake();
  return rc;
}

MMRESULT WaveDevice::close() noexcept {
  if (queue_.queued() != 0) return WAVERR_STILLPLAYING;
  end(false);
  return MMSYSERR_NOERROR;
}

void WaveDevice::forceClose() noexcept { end(true); }

void WaveDevice::end(bool forced) noexcept {
  forced_.store(forced, std::memory_order_release);
  closing_.store(true, std::memory_order_release);
  waker_.wake();
  if (!fence_.isShut()) {
    // A failed device plays nothing out (its thread does not wait for it).
    const bool playOut = !forced && failure() == MMSYSERR_NOERROR && playsOut();
    const auto limit = playOut ? kDeviceAnswerLimit + kPlayOutLimit : kDeviceAnswerLimit;
    if (ended_.try_acquire_for(limit)) {
      thread_.join();
      return;
    }
    abandon();
  }
  // The thread is stuck: the close notification comes from here, unless the
  // thread sent it just before the fence shut.
  if (!closeSent_) notify(messages_.close, 0);
}

void WaveDevice::Release(WaveDevice* device) noexcept {
  if (device->thread_.joinable()) {
    device->thread_.detach();
    if (!device->fence_.handOver()) return;  // the thread deletes it when it ends
  }
  delete device;
}

void WaveDevice::abandon() noexcept {
  fence_.shut();
  // A thread that was inside the fence may have gone to sleep since, with
  // nothing else to wake it: it wakes now, finds the fence shut and ends.
  waker_.wake();
  if (failure() != MMSYSERR_NOERROR) return;
  failureDetail_ = NoAnswerReason();
  failure_.store(MMSYSERR_NODRIVER, std::memory_order_release);
}

bool WaveDevice::ask(Request& request) noexcept {
  if (fence_.isShut()) {
    returnAll();
    return false;
  }
  if (request.ask(waker_)) return true;
  abandon();
  returnAll();
  return false;
}

bool WaveDevice::Request::ask(Waker& waker) noexcept {
  asked_.store(++asks_, std::memory_order_release);
  waker.wake();
  return answered_.try_acquire_for(kDeviceAnswerLimit);
}

void WaveDevice::Request::answer() noexcept {
  // The owner waits for this answer, so nothing is asked meanwhile.
  seen_ = asked_.load(std::memory_order_acquire);
  answered_.release();
}

void WaveDevice::notify(UINT msg, DWORD_PTR param) noexcept {
  switch (flags_ & CALLBACK_TYPEMASK) {
    case CALLBACK_FUNCTION:
      callFunction(callback_, msg, instance_, param);
      break;
    case CALLBACK_WINDOW:
      PostMessage(reinterpret_cast<HWND>(callback_), msg, handle(), static_cast<LPARAM>(param));
      break;
    default:
      break;
  }
}

void WaveDevice::returnFront() noexcept {
  moved_ = 0;
  notify(messages_.done, reinterpret_cast<DWORD_PTR>(queue_.completeFront()));
}

void WaveDevice::returnAll() noexcept {
  moved_ = 0;
  while (WAVEHDR* h = queue_.completeFront()) notify(messages_.done, reinterpret_cast<DWORD_PTR>(h));
}

// Every access to the flag is a read-modify-write, so they are ordered one
// after the other: either enqueue() comes later and sees the flag (and wakes
// the device), or it came first and the header it queued is seen here.
bool WaveDevice::waitForHeader() noexcept {
  waitingForHeader_.exchange(true);
  if (queue_.front() == nullptr && !outside([this] { waker_.wait(-1); })) return false;
  waitingForHeader_.exchange(false);
  return true;
}

void WaveDevice::fail(MMRESULT code, std::string detail) noexcept {
  failureDetail_ = std::move(detail);
  failure_.store(code, std::memory_order_release);
  returnAll();
}

void WaveDevice::publishStamp(const WAVESTAMP& stamp) noexcept {
  // The fields are stored with release, so the odd sequence before them is
  // seen by any reader that sees them (no fences: ThreadSanitizer checks
  // these orders, not fences).
  const unsigned sequence = stampSequence_.load(std::memory_order_relaxed);
  stampSequence_.store(sequence + 1, std::memory_order_relaxed);
  stampFrames_.store(stamp.frames, std::memory_order_release);
  stampNanoseconds_.store(stamp.nanoseconds, std::memory_order_release);
  stampSequence_.store(sequence + 2, std::memory_order_release);
}

bool WaveDevice::readStamp(WAVESTAMP& stamp) const noexcept {
  // A few tries: the device thread writes a stamp in a few instructions.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned before = stampSequence_.load(std::memory_order_acquire);
    if (before == 0) return false;
    if (before % 2 != 0) continue;
    // Acquire loads: the second look at the sequence cannot come before them.
    stamp.frames = stampFrames_.load(std::memory_order_acquire);
    stamp.nanoseconds = stampNanoseconds_.load(std::memory_order_acquire);
    if (stampSequence_.load(std::memory_order_relaxed) == before) return true;
  }
  return false;
}

}  // namespace platform
