#include "platform/WaveInDevice.h"

#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"

namespace platform {

WaveInDevice::WaveInDevice(std::unique_ptr<CaptureSource> source, const WAVEFORMATEX& format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags)
    : source_(std::move(source)), format_(format), callback_(callback), instance_(instance), flags_(flags) {}

WaveInDevice::~WaveInDevice() {
  if (thread_.joinable()) {
    closing_.store(true, std::memory_order_release);
    waker_.wake();
    thread_.join();
  }
}

MMRESULT WaveInDevice::open() {
  if (!waker_.valid()) return MMSYSERR_NOMEM;
  thread_ = std::thread([this] { run(); });
  opened_.acquire();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::prepare(WAVEHDR* header, UINT size) noexcept {
  if (MMRESULT f = failure()) return f;
  return HeaderQueue::prepare(header, size);
}

MMRESULT WaveInDevice::unprepare(WAVEHDR* header, UINT size) noexcept { return HeaderQueue::unprepare(header, size); }

MMRESULT WaveInDevice::add(WAVEHDR* header, UINT size) noexcept {
  if (MMRESULT f = failure()) return f;
  const MMRESULT rc = queue_.add(header, size);
  // A device thread that is reading has a header already; only one that
  // sleeps (or is about to) for want of a buffer needs waking. Looking at the
  // queue before adding would miss a device that empties it meanwhile.
  if (rc == MMSYSERR_NOERROR && waitingForHeader_.exchange(false)) waker_.wake();
  return rc;
}

MMRESULT WaveInDevice::start() noexcept {
  if (MMRESULT f = failure()) return f;
  running_.store(true, std::memory_order_release);
  waker_.wake();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::stop() noexcept {
  if (MMRESULT f = failure()) return f;
  running_.store(false, std::memory_order_release);
  request(stops_, stopAsked_, stopDone_);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::reset() noexcept {
  running_.store(false, std::memory_order_release);
  request(resets_, resetAsked_, resetDone_);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::close() noexcept {
  if (queue_.queued() != 0) return WAVERR_STILLPLAYING;
  closing_.store(true, std::memory_order_release);
  waker_.wake();
  if (thread_.joinable()) thread_.join();
  return MMSYSERR_NOERROR;
}

// Asks the device thread for a stop or reset and waits until it is done.
// The device thread never waits for its owner, so this wait is bounded by
// one read of the source.
void WaveInDevice::request(unsigned& counter, std::atomic<unsigned>& ask, std::atomic<unsigned>& done) noexcept {
  const unsigned target = ++counter;
  ask.store(target, std::memory_order_release);
  waker_.wake();
  for (unsigned d = done.load(std::memory_order_acquire); d != target; d = done.load(std::memory_order_acquire))
    done.wait(d, std::memory_order_acquire);
}

void WaveInDevice::notify(UINT msg, DWORD_PTR param) noexcept {
  switch (flags_ & CALLBACK_TYPEMASK) {
    case CALLBACK_FUNCTION:
      reinterpret_cast<WaveInProc>(callback_)(this, msg, instance_, param, 0);
      break;
    case CALLBACK_WINDOW:
      PostMessage(reinterpret_cast<HWND>(callback_), msg, reinterpret_cast<WPARAM>(this),
                  static_cast<LPARAM>(param));
      break;
    default:
      break;
  }
}

void WaveInDevice::returnFront() noexcept {
  notify(MM_WIM_DATA, reinterpret_cast<DWORD_PTR>(queue_.completeFront()));
}

void WaveInDevice::returnAll() noexcept {
  while (WAVEHDR* h = queue_.completeFront()) notify(MM_WIM_DATA, reinterpret_cast<DWORD_PTR>(h));
}

// Sleeps until a header is queued or the owner asks for something. Every
// access to the flag is a read-modify-write, so they are ordered one after
// the other: either add() comes later and sees the flag (and wakes the
// device), or it came first and the header it queued is seen here.
void WaveInDevice::waitForHeader() noexcept {
  waitingForHeader_.exchange(true);
  if (queue_.front() == nullptr) waker_.wait(-1);
  waitingForHeader_.exchange(false);
}

void WaveInDevice::fail(MMRESULT code) noexcept {
  failureDetail_ = source_->failureDetail();
  failure_.store(code, std::memory_order_release);
  source_->stop();
  returnAll();
}

void WaveInDevice::run() {
  notify(MM_WIM_OPEN, 0);
  opened_.release();

  const std::size_t frameBytes = format_.nBlockAlign;
  bool capturing = false;
  unsigned resetsSeen = 0, stopsSeen = 0;
  auto halt = [&] {
    if (capturing) source_->stop();
    capturing = false;
  };

  while (!closing_.load(std::memory_order_acquire)) {
    if (const unsigned r = resetAsked_.load(std::memory_order_acquire); r != resetsSeen) {
      halt();
      returnAll();
      resetsSeen = r;
      resetDone_.store(r, std::memory_order_release);
      resetDone_.notify_all();
      continue;
    }
    if (const unsigned s = stopAsked_.load(std::memory_order_acquire); s != stopsSeen) {
      // Stopping returns the buffer being filled with what it holds; empty
      // buffers stay queued for the next start.
      halt();
      if (WAVEHDR* h = queue_.front(); h != nullptr && h->dwBytesRecorded > 0)
        returnFront();
      stopsSeen = s;
      stopDone_.store(s, std::memory_order_release);
      stopDone_.notify_all();
      continue;
    }
    if (failure() != MMSYSERR_NOERROR) {
      // A failed device hands back whatever is queued, even a buffer queued
      // while it was failing, so that its owner can close it.
      if (queue_.front() != nullptr) returnAll();
      else waitForHeader();
      continue;
    }
    if (!running_.load(std::memory_order_acquire)) {
      halt();
      waker_.wait(-1);
      continue;
    }
    if (!capturing) {
      if (const MMRESULT rc = source_->start(); rc != MMSYSERR_NOERROR) {
        fail(rc);
        continue;
      }
      capturing = true;
    }
    WAVEHDR* h = queue_.front();
    if (h == nullptr) {
      waitForHeader();
      continue;
    }
    const std::size_t room = (h->dwBufferLength - h->dwBytesRecorded) / frameBytes;
    if (room > 0) {
      const CaptureSource::ReadResult got =
          source_->read(reinterpret_cast<BYTE*>(h->lpData) + h->dwBytesRecorded, room, waker_);
      if (got.kind == CaptureSource::ReadResult::Kind::Failed) {
        capturing = false;
        fail(got.code);
        continue;
      }
      if (got.kind == CaptureSource::ReadResult::Kind::Woken) continue;
      h->dwBytesRecorded += static_cast<DWORD>(got.frames * frameBytes);
      if (got.endBuffer) {
        returnFront();
        continue;
      }
    }
    if (h->dwBufferLength - h->dwBytesRecorded < frameBytes)
      returnFront();
  }
  halt();
  notify(MM_WIM_CLOSE, 0);
}

}  // namespace platform
