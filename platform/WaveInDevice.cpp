// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/WaveInDevice.h"

#include <algorithm>
#include <cstring>

#include "platform/Messages.h"
#include "platform/ResultCodes.h"

namespace platform {

WaveInDevice::WaveInDevice(std::unique_ptr<CaptureSource> source, const WAVEFORMATEX& format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags)
    : WaveDevice(format, callback, instance, flags, {MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_CLOSE}, "capture"),
      source_(std::move(source)) {}

MMRESULT WaveInDevice::start() noexcept {
  if (MMRESULT f = failure()) return f;
  running_.store(true, std::memory_order_release);
  waker_.wake();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::stop() noexcept {
  if (MMRESULT f = failure()) return f;
  running_.store(false, std::memory_order_release);
  return ask(stop_) ? MMSYSERR_NOERROR : failure();
}

MMRESULT WaveInDevice::reset() noexcept {
  running_.store(false, std::memory_order_release);
  ask(reset_);  // an abandoned device has handed every header back too
  return MMSYSERR_NOERROR;
}

void WaveInDevice::callFunction(DWORD_PTR function, UINT msg, DWORD_PTR instance, DWORD_PTR param) noexcept {
  reinterpret_cast<WaveInProc>(function)(this, msg, instance, param, 0);
}

bool WaveInDevice::fail(MMRESULT code) noexcept {
  // Reported first: stopping the source may wait for a sound server that
  // does not answer, and the owner must not wait for that.
  WaveDevice::fail(code, source_->failureDetail());
  capturing_ = false;
  return outside([this] { source_->stop(); });
}

void WaveInDevice::halt() noexcept {
  if (capturing_) source_->stop();
  capturing_ = false;
}

void WaveInDevice::closeStream(bool) noexcept {
  halt();
  source_.reset();
}

bool WaveInDevice::run() {
  const std::size_t frameBytes = format_.nBlockAlign;
  while (!closing()) {
    if (reset_.pending()) {
      if (!outside([this] { halt(); })) return false;
      returnAll();
      reset_.answer();
      continue;
    }
    if (stop_.pending()) {
      // Stopping returns the buffer being filled with what it holds; empty
      // buffers stay queued for the next start.
      if (!outside([this] { halt(); })) return false;
      if (WAVEHDR* h = queue_.front(); h != nullptr && h->dwBytesRecorded > 0) returnFront();
      stop_.answer();
      continue;
    }
    if (failure() != MMSYSERR_NOERROR) {
      // A failed device hands back whatever is queued, even a buffer queued
      // while it was failing, so that its owner can close it.
      if (queue_.front() != nullptr)
        returnAll();
      else if (!waitForHeader())
        return false;
      continue;
    }
    if (!running_.load(std::memory_order_acquire)) {
      if (!outside([&] {
            halt();
            waker_.wait(-1);
          }))
        return false;
      continue;
    }
    if (!capturing_) {
      MMRESULT rc = MMSYSERR_NOERROR;
      if (!outside([&] { rc = source_->start(); })) return false;
      if (rc != MMSYSERR_NOERROR) {
        if (!fail(rc)) return false;
        continue;
      }
      capturing_ = true;
    }
    WAVEHDR* h = queue_.front();
    if (h == nullptr) {
      if (!waitForHeader()) return false;
      continue;
    }
    const std::size_t room =
        std::min<std::size_t>((h->dwBufferLength - h->dwBytesRecorded) / frameBytes, bounce_.size() / frameBytes);
    if (room > 0) {
      CaptureSource::ReadResult got;
      WAVESTAMP stamp;
      bool stamped = false;
      if (!outside([&] {
            got = source_->read(bounce_.data(), room, waker_);
            stamped = got.kind == CaptureSource::ReadResult::Kind::Frames && got.frames > 0 && source_->stamp(stamp);
          }))
        return false;
      if (stamped) publishStamp(stamp);
      if (got.kind == CaptureSource::ReadResult::Kind::Failed) {
        if (!fail(got.code)) return false;
        continue;
      }
      if (got.kind == CaptureSource::ReadResult::Kind::Woken) continue;
      const std::size_t bytes = got.frames * frameBytes;
      std::memcpy(h->lpData + h->dwBytesRecorded, bounce_.data(), bytes);
      h->dwBytesRecorded += static_cast<DWORD>(bytes);
      if (got.endBuffer) {
        returnFront();
        continue;
      }
    }
    if (h->dwBufferLength - h->dwBytesRecorded < frameBytes) returnFront();
  }
  return true;
}

}  // namespace platform
