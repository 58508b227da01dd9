#include "platform/WaveInDevice.h"

#include "platform/Messages.h"
#include "platform/ResultCodes.h"

namespace platform {

WaveInDevice::WaveInDevice(std::unique_ptr<CaptureSource> source, const WAVEFORMATEX& format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags)
    : WaveDevice(format, callback, instance, flags, {MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_CLOSE}),
      source_(std::move(source)) {}

WaveInDevice::~WaveInDevice() { stopThread(); }

MMRESULT WaveInDevice::start() noexcept {
  if (MMRESULT f = failure()) return f;
  running_.store(true, std::memory_order_release);
  waker_.wake();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::stop() noexcept {
  if (MMRESULT f = failure()) return f;
  running_.store(false, std::memory_order_release);
  stop_.ask(waker_);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::reset() noexcept {
  running_.store(false, std::memory_order_release);
  reset_.ask(waker_);
  return MMSYSERR_NOERROR;
}

void WaveInDevice::callFunction(DWORD_PTR function, UINT msg, DWORD_PTR instance, DWORD_PTR param) noexcept {
  reinterpret_cast<WaveInProc>(function)(this, msg, instance, param, 0);
}

void WaveInDevice::fail(MMRESULT code) noexcept {
  std::string detail = source_->failureDetail();
  source_->stop();
  WaveDevice::fail(code, std::move(detail));
}

void WaveInDevice::run() {
  const std::size_t frameBytes = format_.nBlockAlign;
  bool capturing = false;
  auto halt = [&] {
    if (capturing) source_->stop();
    capturing = false;
  };

  while (!closing()) {
    if (reset_.pending()) {
      halt();
      returnAll();
      reset_.answer();
      continue;
    }
    if (stop_.pending()) {
      // Stopping returns the buffer being filled with what it holds; empty
      // buffers stay queued for the next start.
      halt();
      if (WAVEHDR* h = queue_.front(); h != nullptr && h->dwBytesRecorded > 0) returnFront();
      stop_.answer();
      continue;
    }
    if (failure() != MMSYSERR_NOERROR) {
      // A failed device hands back whatever is queued, even a buffer queued
      // while it was failing, so that its owner can close it.
      if (queue_.front() != nullptr)
        returnAll();
      else
        waitForHeader();
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
    if (h->dwBufferLength - h->dwBytesRecorded < frameBytes) returnFront();
  }
  halt();
}

}  // namespace platform
