// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One open wave-input device: the frames come from a CaptureSource; the
// thread, the queue and the notifications are WaveDevice's. What its owner
// can rely on is stated in AudioSystem.h (wave input, device loss); beyond
// it, the device thread sleeps while capture is stopped or no header is
// queued.
#pragma once

#include <atomic>
#include <memory>

#include "platform/CaptureSource.h"
#include "platform/WaveDevice.h"

namespace platform {

class WaveInDevice final : public WaveDevice {
 public:
  WaveInDevice(std::unique_ptr<CaptureSource> source, const WAVEFORMATEX& format, DWORD_PTR callback,
               DWORD_PTR instance, DWORD flags);

  MMRESULT add(WAVEHDR* header, UINT size) noexcept { return enqueue(header, size); }
  MMRESULT start() noexcept;
  MMRESULT stop() noexcept;
  MMRESULT reset() noexcept;

  CaptureSource& source() noexcept { return *source_; }

 private:
  bool run() override;
  void closeStream(bool playOut) noexcept override;
  void callFunction(DWORD_PTR function, UINT msg, DWORD_PTR instance, DWORD_PTR param) noexcept override;
  WPARAM handle() const noexcept override { return reinterpret_cast<WPARAM>(this); }
  // Fails the device, then stops the source; false when it was abandoned.
  bool fail(MMRESULT code) noexcept;
  // Device thread: stops the source if it captures.
  void halt() noexcept;

  std::unique_ptr<CaptureSource> source_;
  bool capturing_ = false;            // device thread: the source was started and not stopped since
  std::atomic<bool> running_{false};  // the owner's start/stop, seen by the device thread
  Request stop_;
};

}  // namespace platform
