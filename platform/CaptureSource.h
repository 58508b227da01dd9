// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where a wave-input device's frames come from: a sound card through ALSA,
// or the simulated device's signal. WaveInDevice owns the thread, the queue
// and the notifications; a source only moves frames.
//
// Threads: the back-end opens it on a thread of its own (DeviceAudioSystem's
// Opener) before the device thread starts, and closes one that opened too
// late on that thread; every other call, and its destruction, runs on the
// device thread, which has the source to itself from then on, also when its
// owner gave up on it. Only when no device thread can start is it
// destroyed by the open call, right after it answered its open.
#pragma once

#include <cstddef>
#include <string>

#include "platform/AudioSystem.h"
#include "platform/Types.h"

namespace platform {

class Waker;

class CaptureSource {
 public:
  // What read() came back with.
  struct ReadResult {
    enum class Kind { Frames, Woken, Failed };
    Kind kind = Kind::Frames;
    std::size_t frames = 0;  // Frames: how many were written (may be fewer than asked)
    MMRESULT code = 0;       // Failed: the code that the device's calls report from now on
    // Frames: hand the buffer being filled back now, with what it holds,
    // instead of waiting until it is full.
    bool endBuffer = false;
  };

  virtual ~CaptureSource() = default;

  // Begins capturing. Non-zero: the device failed and reports this code.
  virtual MMRESULT start() = 0;
  // Stops capturing; frames not read yet are discarded.
  virtual void stop() = 0;
  // Reads up to `frames` frames into dst. Sleeps until frames are there or
  // the waker is signalled; a source that wakes on the waker drains it and
  // returns Woken, so the device re-checks what its owner asked for.
  virtual ReadResult read(BYTE* dst, std::size_t frames, Waker& waker) = 0;

  // Device thread, right after a read that gave frames: where the stream
  // stands (AudioSystem::waveInGetStamp: frames captured since the open,
  // and when); false when the source cannot tell.
  virtual bool stamp(WAVESTAMP&) { return false; }

  // The reason behind the latest failure, for the error text (may be empty).
  virtual std::string failureDetail() const { return {}; }
  // Overruns recovered from so far; any thread may read it.
  virtual std::size_t overruns() const noexcept { return 0; }
};

}  // namespace platform
