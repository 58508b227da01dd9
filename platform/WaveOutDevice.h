// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One open wave-output device: the frames go to a PlaybackSink; the thread,
// the queue and the notifications are WaveDevice's. What its owner can rely
// on is stated in AudioSystem.h (wave output, device loss); beyond it, whole
// frames are played and a trailing partial frame is not.
#pragma once

#include <atomic>
#include <memory>

#include "platform/PlaybackSink.h"
#include "platform/WaveDevice.h"

namespace platform {

class WaveOutDevice final : public WaveDevice {
 public:
  WaveOutDevice(std::unique_ptr<PlaybackSink> sink, const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance,
                DWORD flags);

  MMRESULT write(WAVEHDR* header, UINT size) noexcept { return enqueue(header, size); }
  MMRESULT reset() noexcept;

  PlaybackSink& sink() noexcept { return *sink_; }

 private:
  bool run() override;
  void closeStream(bool playOut) noexcept override;
  void callFunction(DWORD_PTR function, UINT msg, DWORD_PTR instance, DWORD_PTR param) noexcept override;
  WPARAM handle() const noexcept override { return reinterpret_cast<WPARAM>(this); }
  bool playsOut() const noexcept override { return written_.load(std::memory_order_acquire); }

  std::unique_ptr<PlaybackSink> sink_;
  std::atomic<bool> written_{false};  // frames went to the sink since it was opened or discarded
};

}  // namespace platform
