// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/WaveOutDevice.h"

#include <algorithm>
#include <cstring>

#include "platform/Messages.h"
#include "platform/ResultCodes.h"

namespace platform {

WaveOutDevice::WaveOutDevice(std::unique_ptr<PlaybackSink> sink, const WAVEFORMATEX& format, DWORD_PTR callback,
                             DWORD_PTR instance, DWORD flags)
    : WaveDevice(format, callback, instance, flags, {MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_CLOSE}, "playback"),
      sink_(std::move(sink)) {}

// Throws away what the device holds and waits until every header is back.
MMRESULT WaveOutDevice::reset() noexcept {
  ask(reset_);  // an abandoned device has handed every header back too
  return MMSYSERR_NOERROR;
}

void WaveOutDevice::callFunction(DWORD_PTR function, UINT msg, DWORD_PTR instance, DWORD_PTR param) noexcept {
  reinterpret_cast<WaveOutProc>(function)(this, msg, instance, param, 0);
}

bool WaveOutDevice::run() {
  const std::size_t frameBytes = format_.nBlockAlign;
  while (!closing()) {
    if (reset_.pending()) {
      if (failure() == MMSYSERR_NOERROR && !outside([this] { sink_->discard(); })) return false;
      written_.store(false, std::memory_order_release);
      returnAll();
      reset_.answer();
      continue;
    }
    WAVEHDR* h = queue_.front();
    if (h == nullptr) {
      if (!waitForHeader()) return false;
      continue;
    }
    if (failure() != MMSYSERR_NOERROR) {
      // A failed device hands back whatever is written, so that its owner
      // can close it.
      returnAll();
      continue;
    }
    const std::size_t frames =
        std::min<std::size_t>((h->dwBufferLength - moved_) / frameBytes, bounce_.size() / frameBytes);
    if (frames == 0) {
      returnFront();
      continue;
    }
    std::memcpy(bounce_.data(), h->lpData + moved_, frames * frameBytes);
    PlaybackSink::WriteResult put;
    WAVESTAMP stamp;
    bool stamped = false;
    if (!outside([&] {
          put = sink_->write(bounce_.data(), frames, waker_);
          stamped = put.kind == PlaybackSink::WriteResult::Kind::Frames && put.frames > 0 && sink_->stamp(stamp);
        }))
      return false;
    if (stamped) publishStamp(stamp);
    if (put.kind == PlaybackSink::WriteResult::Kind::Failed) {
      fail(put.code, sink_->failureDetail());
      continue;
    }
    if (put.kind == PlaybackSink::WriteResult::Kind::Woken) continue;
    moved_ += static_cast<DWORD>(put.frames * frameBytes);
    if (put.frames > 0) written_.store(true, std::memory_order_release);
  }
  return true;
}

// What the sink holds plays out before the device reports itself closed.
void WaveOutDevice::closeStream(bool playOut) noexcept {
  if (playOut) sink_->drain();
  sink_.reset();
}

}  // namespace platform
