// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where a wave-output device's frames go: a sound card through ALSA, or the
// simulated device's record of what it played. WaveOutDevice owns the
// thread, the queue and the notifications; a sink only moves frames.
//
// Threads: the back-end opens it on a thread of its own (DeviceAudioSystem's
// Opener) before the device thread starts, and closes one that opened too
// late on that thread; every call below, and its destruction, runs on the
// device thread, which has the sink to itself from then on, also when its
// owner gave up on it. Only when no device thread can start is it
// destroyed by the open call, right after it answered its open.
#pragma once

#include <cstddef>
#include <string>

#include "platform/AudioSystem.h"
#include "platform/Types.h"

namespace platform {

class Waker;

class PlaybackSink {
 public:
  // What write() came back with.
  struct WriteResult {
    enum class Kind { Frames, Woken, Failed };
    Kind kind = Kind::Frames;
    std::size_t frames = 0;  // Frames: how many were taken (may be fewer than offered)
    MMRESULT code = 0;       // Failed: the code that the device's calls report from now on
  };

  virtual ~PlaybackSink() = default;

  // Takes up to `frames` frames from src. Sleeps until there is room or the
  // waker is signalled; a sink that wakes on the waker drains it and returns
  // Woken, so the device re-checks what its owner asked for. The first write
  // after open or discard() starts the stream.
  virtual WriteResult write(const BYTE* src, std::size_t frames, Waker& waker) = 0;
  // Lets what was written play out before the device closes; returns within
  // the sink's own buffer time, also when the sink has failed.
  virtual void drain() = 0;
  // Throws away what was written and not yet played (waveOutReset).
  virtual void discard() = 0;

  // Device thread, right after a write that took frames: where the stream
  // stands (AudioSystem::waveOutGetStamp: frames played out since the open,
  // and when); false when the sink cannot tell.
  virtual bool stamp(WAVESTAMP&) { return false; }

  // The reason behind the latest failure, for the error text (may be empty).
  virtual std::string failureDetail() const { return {}; }
  // Underruns recovered from so far (the stream ran dry while data was still
  // coming); any thread may read it.
  virtual std::size_t underruns() const noexcept { return 0; }
};

}  // namespace platform
