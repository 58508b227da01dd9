// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sim/SimPlaybackSink.h"

#include <algorithm>
#include <cstring>

#include "platform/ResultCodes.h"
#include "platform/sim/SimSleep.h"

namespace platform::sim {

SimPlaybackSink::SimPlaybackSink(std::shared_ptr<SimState> state, Pacing pacing, const WAVEFORMATEX& format)
    : state_(std::move(state)), pacing_(pacing), format_(format) {}

SimPlaybackSink::~SimPlaybackSink() {
  if (state_->loopback && started_) {
    state_->wireOpen.store(false, std::memory_order_release);
    state_->poke.wake();
  }
}

PlaybackSink::WriteResult SimPlaybackSink::write(const BYTE* src, std::size_t frames, Waker& waker) {
  for (;;) {
    if (const MMRESULT code = state_->outFailure.load(std::memory_order_acquire); code != MMSYSERR_NOERROR) {
      failureDetail_ = state_->outFailureWhy;
      state_->outFailure.store(MMSYSERR_NOERROR, std::memory_order_release);
      return {WriteResult::Kind::Failed, 0, code};
    }
    if (!started_) {
      started_ = true;
      clockStart_ = Clock::now();
      clockFrames_ = 0;
    }
    std::optional<Clock::time_point> retryAt;
    // A looped-back sink plays at the pace the input takes its frames.
    const std::size_t n = state_->loopback ? wireRoom(frames) : take(frames, retryAt);
    if (n > 0) {
      if (state_->loopback) pushWire(src, n);
      // The record was sized when the device opened; what does not fit is
      // counted, not kept, so the device thread never allocates.
      const std::size_t bytes = n * format_.nBlockAlign;
      const std::size_t at = state_->playedBytes.load(std::memory_order_relaxed);
      const std::size_t kept = at < state_->played.size() ? std::min(bytes, state_->played.size() - at) : 0;
      if (kept > 0) std::memcpy(state_->played.data() + at, src, kept);
      state_->playedBytes.store(at + kept, std::memory_order_release);
      state_->count(state_->framesPlayed, n);
      return {WriteResult::Kind::Frames, n, 0};
    }
    if (SleepUntil(waker, state_->playPoke, retryAt)) return {WriteResult::Kind::Woken, 0, 0};
  }
}

std::size_t SimPlaybackSink::wireRoom(std::size_t n) noexcept {
  if (!state_->wireOpen.load(std::memory_order_relaxed)) {
    if (!state_->wire.push(WireFrame{{0, 0}, true})) return 0;
    state_->wireOpen.store(true, std::memory_order_release);
  }
  return std::min(n, state_->wire.capacity() - state_->wire.size());
}

void SimPlaybackSink::pushWire(const BYTE* src, std::size_t frames) noexcept {
  const unsigned channels = format_.nChannels;
  for (std::size_t i = 0; i < frames; ++i) {
    WireFrame f;
    for (unsigned c = 0; c < channels && c < 2; ++c) {
      if (format_.wBitsPerSample == 16) {
        std::int16_t v;
        std::memcpy(&v, src, 2);
        src += 2;
        f.sample[c] = static_cast<float>(v) / 32768.0f;
      } else {
        f.sample[c] = static_cast<float>(static_cast<int>(*src++) - 128) / 128.0f;
      }
    }
    if (channels == 1) f.sample[1] = f.sample[0];
    state_->wire.push(f);  // room was checked: this thread is the only producer
  }
  state_->poke.wake();
}

void SimPlaybackSink::discard() {
  started_ = false;
  state_->count(state_->outputResets);
}

std::size_t SimPlaybackSink::take(std::size_t want, std::optional<Clock::time_point>& retryAt) noexcept {
  switch (pacing_) {
    case Pacing::Unpaced:
      return want;
    case Pacing::Manual: {
      // Only this thread takes credit, so what it loaded can only have grown.
      const std::uint64_t c = state_->playCredit.load(std::memory_order_acquire);
      if (c == 0) return 0;
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(want, c));
      state_->playCredit.fetch_sub(n, std::memory_order_acq_rel);
      return n;
    }
    case Pacing::Clock: {
      // Frames go out a period at a time, each when the clock has played it.
      const std::size_t n = std::min(want, kPeriodFrames);
      const std::uint64_t needed = clockFrames_ + n;
      const auto due = clockStart_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                         static_cast<double>(needed) / format_.nSamplesPerSec));
      if (Clock::now() >= due) {
        clockFrames_ = needed;
        return n;
      }
      retryAt = due;
      return 0;
    }
  }
  return 0;
}

}  // namespace platform::sim
