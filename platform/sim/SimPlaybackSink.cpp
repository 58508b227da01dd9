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
    if (const std::size_t n = take(frames, retryAt); n > 0) {
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
