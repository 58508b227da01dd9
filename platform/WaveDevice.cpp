#include "platform/WaveDevice.h"

#include "platform/ResultCodes.h"

namespace platform {

WaveDevice::WaveDevice(const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance, DWORD flags,
                       Messages messages)
    : format_(format), callback_(callback), instance_(instance), flags_(flags), messages_(messages) {}

WaveDevice::~WaveDevice() { stopThread(); }

void WaveDevice::stopThread() noexcept {
  if (!thread_.joinable()) return;
  closing_.store(true, std::memory_order_release);
  waker_.wake();
  thread_.join();
}

MMRESULT WaveDevice::open() {
  if (!waker_.valid()) return MMSYSERR_NOMEM;
  thread_ = std::thread([this] { threadMain(); });
  opened_.acquire();
  return MMSYSERR_NOERROR;
}

void WaveDevice::threadMain() {
  notify(messages_.open, 0);
  opened_.release();
  run();
  notify(messages_.close, 0);
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
  stopThread();
  return MMSYSERR_NOERROR;
}

void WaveDevice::Request::ask(Waker& waker) noexcept {
  const unsigned target = ++asks_;
  asked_.store(target, std::memory_order_release);
  waker.wake();
  for (unsigned d = answered_.load(std::memory_order_acquire); d != target;
       d = answered_.load(std::memory_order_acquire))
    answered_.wait(d, std::memory_order_acquire);
}

void WaveDevice::Request::answer() noexcept {
  // The owner waits for this answer, so nothing is asked meanwhile.
  seen_ = asked_.load(std::memory_order_acquire);
  answered_.store(seen_, std::memory_order_release);
  answered_.notify_all();
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
void WaveDevice::waitForHeader() noexcept {
  waitingForHeader_.exchange(true);
  if (queue_.front() == nullptr) waker_.wait(-1);
  waitingForHeader_.exchange(false);
}

void WaveDevice::fail(MMRESULT code, std::string detail) noexcept {
  failureDetail_ = std::move(detail);
  failure_.store(code, std::memory_order_release);
  returnAll();
}

}  // namespace platform
