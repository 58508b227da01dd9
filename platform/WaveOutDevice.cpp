#include "platform/WaveOutDevice.h"

#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"

namespace platform {

WaveOutDevice::WaveOutDevice(std::unique_ptr<PlaybackSink> sink, const WAVEFORMATEX& format, DWORD_PTR callback,
                             DWORD_PTR instance, DWORD flags)
    : sink_(std::move(sink)), format_(format), callback_(callback), instance_(instance), flags_(flags) {}

WaveOutDevice::~WaveOutDevice() {
  if (thread_.joinable()) {
    closing_.store(true, std::memory_order_release);
    waker_.wake();
    thread_.join();
  }
}

MMRESULT WaveOutDevice::open() {
  if (!waker_.valid()) return MMSYSERR_NOMEM;
  thread_ = std::thread([this] { run(); });
  opened_.acquire();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutDevice::prepare(WAVEHDR* header, UINT size) noexcept {
  if (MMRESULT f = failure()) return f;
  return HeaderQueue::prepare(header, size);
}

MMRESULT WaveOutDevice::unprepare(WAVEHDR* header, UINT size) noexcept {
  return HeaderQueue::unprepare(header, size);
}

MMRESULT WaveOutDevice::write(WAVEHDR* header, UINT size) noexcept {
  if (MMRESULT f = failure()) return f;
  const MMRESULT rc = queue_.add(header, size);
  // Only a device thread that sleeps (or is about to) for want of a header
  // needs waking; see WaveInDevice::add.
  if (rc == MMSYSERR_NOERROR && waitingForHeader_.exchange(false)) waker_.wake();
  return rc;
}

// Asks the device thread to throw away what it holds and waits until every
// header is back. The device thread never waits for its owner, so this wait
// is bounded by one write to the sink.
MMRESULT WaveOutDevice::reset() noexcept {
  const unsigned target = ++resets_;
  resetAsked_.store(target, std::memory_order_release);
  waker_.wake();
  for (unsigned d = resetDone_.load(std::memory_order_acquire); d != target;
       d = resetDone_.load(std::memory_order_acquire))
    resetDone_.wait(d, std::memory_order_acquire);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutDevice::close() noexcept {
  if (queue_.queued() != 0) return WAVERR_STILLPLAYING;
  closing_.store(true, std::memory_order_release);
  waker_.wake();
  if (thread_.joinable()) thread_.join();
  return MMSYSERR_NOERROR;
}

void WaveOutDevice::notify(UINT msg, DWORD_PTR param) noexcept {
  switch (flags_ & CALLBACK_TYPEMASK) {
    case CALLBACK_FUNCTION:
      reinterpret_cast<WaveOutProc>(callback_)(this, msg, instance_, param, 0);
      break;
    case CALLBACK_WINDOW:
      PostMessage(reinterpret_cast<HWND>(callback_), msg, reinterpret_cast<WPARAM>(this),
                  static_cast<LPARAM>(param));
      break;
    default:
      break;
  }
}

void WaveOutDevice::returnFront() noexcept {
  offset_ = 0;
  notify(MM_WOM_DONE, reinterpret_cast<DWORD_PTR>(queue_.completeFront()));
}

void WaveOutDevice::returnAll() noexcept {
  offset_ = 0;
  while (WAVEHDR* h = queue_.completeFront()) notify(MM_WOM_DONE, reinterpret_cast<DWORD_PTR>(h));
}

// As WaveInDevice::waitForHeader: the read-modify-writes on the flag order
// this against write(), so a header queued meanwhile is never missed.
void WaveOutDevice::waitForHeader() noexcept {
  waitingForHeader_.exchange(true);
  if (queue_.front() == nullptr) waker_.wait(-1);
  waitingForHeader_.exchange(false);
}

void WaveOutDevice::fail(MMRESULT code) noexcept {
  failureDetail_ = sink_->failureDetail();
  failure_.store(code, std::memory_order_release);
  returnAll();
}

void WaveOutDevice::run() {
  notify(MM_WOM_OPEN, 0);
  opened_.release();

  const std::size_t frameBytes = format_.nBlockAlign;
  unsigned resetsSeen = 0;
  while (!closing_.load(std::memory_order_acquire)) {
    if (const unsigned r = resetAsked_.load(std::memory_order_acquire); r != resetsSeen) {
      if (failure() == MMSYSERR_NOERROR) sink_->discard();
      returnAll();
      resetsSeen = r;
      resetDone_.store(r, std::memory_order_release);
      resetDone_.notify_all();
      continue;
    }
    WAVEHDR* h = queue_.front();
    if (h == nullptr) {
      waitForHeader();
      continue;
    }
    if (failure() != MMSYSERR_NOERROR) {
      // A failed device hands back whatever is written, so that its owner
      // can close it.
      returnAll();
      continue;
    }
    const std::size_t frames = (h->dwBufferLength - offset_) / frameBytes;
    if (frames == 0) {
      returnFront();
      continue;
    }
    const PlaybackSink::WriteResult put =
        sink_->write(reinterpret_cast<const BYTE*>(h->lpData) + offset_, frames, waker_);
    if (put.kind == PlaybackSink::WriteResult::Kind::Failed) {
      fail(put.code);
      continue;
    }
    if (put.kind == PlaybackSink::WriteResult::Kind::Woken) continue;
    offset_ += static_cast<DWORD>(put.frames * frameBytes);
  }
  // What the sink holds plays out before the device reports itself closed.
  if (failure() == MMSYSERR_NOERROR) sink_->drain();
  notify(MM_WOM_CLOSE, 0);
}

}  // namespace platform
