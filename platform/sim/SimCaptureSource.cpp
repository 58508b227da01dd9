// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sim/SimCaptureSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ResultCodes.h"
#include "platform/sim/SimSleep.h"

namespace platform::sim {

SimCaptureSource::SimCaptureSource(std::shared_ptr<SimState> state, Signal signal, Pacing pacing,
                                   const WAVEFORMATEX& format, std::optional<LoopbackPath> path)
    : state_(std::move(state)), signal_(std::move(signal)), pacing_(pacing), format_(format), path_(std::move(path)) {
  if (path_)
    for (unsigned c = 0; c < format_.nChannels; ++c) channels_.emplace_back(*path_, path_->seed + c);
  state_->deviceFrames.store(0, std::memory_order_release);
}

MMRESULT SimCaptureSource::start() {
  clockStart_ = Clock::now();
  clockFrames_ = 0;
  state_->count(state_->starts);
  return MMSYSERR_NOERROR;
}

void SimCaptureSource::stop() {
  // The device hands a partly filled buffer back on stop: the next frames
  // go to another one.
  if (framesInBuffer_ > 0) endBuffer();
  state_->count(state_->stops);
}

CaptureSource::ReadResult SimCaptureSource::read(BYTE* dst, std::size_t frames, Waker& waker) {
  for (;;) {
    if (const MMRESULT code = state_->failure.load(std::memory_order_acquire); code != MMSYSERR_NOERROR) {
      failureDetail_ = state_->failureWhy;
      state_->failure.store(MMSYSERR_NOERROR, std::memory_order_release);
      endBuffer();
      return {ReadResult::Kind::Failed, 0, code, false};
    }
    // Until its first frame, a buffer may still become a short one.
    if (!decided_) decideLimit();
    const std::size_t want = limit_ ? std::min(frames, *limit_ - framesInBuffer_) : frames;
    if (want == 0) {  // an empty buffer goes back at once, whatever the pacing
      commitBuffer();
      endBuffer();
      return {ReadResult::Kind::Frames, 0, 0, true};
    }
    std::optional<Clock::time_point> retryAt;
    if (std::size_t n = take(want, retryAt); n > 0) {
      if (path_) {
        // Frames the output has not played yet are given back to the pacing.
        const std::size_t made = renderLoopback(dst, n);
        if (made < n) {
          if (pacing_ == Pacing::Clock) clockFrames_ -= n - made;
          if (pacing_ == Pacing::Manual) state_->frameCredit.fetch_add(n - made, std::memory_order_acq_rel);
          if (made == 0) {
            if (SleepUntil(waker, state_->poke, std::nullopt)) return {ReadResult::Kind::Woken, 0, 0, false};
            continue;
          }
          n = made;
        }
      } else {
        RenderSignal(signal_, format_, frame_, dst, n);
      }
      commitBuffer();
      frame_ += n;
      state_->deviceFrames.store(frame_, std::memory_order_release);
      framesInBuffer_ += n;
      state_->produced.fetch_add(n, std::memory_order_acq_rel);
      state_->observed.wake();
      const bool cut = limit_ && framesInBuffer_ == *limit_;
      if (cut || n == frames) endBuffer();
      return {ReadResult::Kind::Frames, n, 0, cut};
    }
    if (SleepUntil(waker, state_->poke, retryAt)) return {ReadResult::Kind::Woken, 0, 0, false};
  }
}

std::size_t SimCaptureSource::take(std::size_t want, std::optional<Clock::time_point>& retryAt) noexcept {
  switch (pacing_) {
    case Pacing::Unpaced:
      return want;
    case Pacing::Manual: {
      // Only this thread takes credit, so what it loaded can only have grown.
      if (const std::uint64_t c = state_->frameCredit.load(std::memory_order_acquire); c > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(want, c));
        state_->frameCredit.fetch_sub(n, std::memory_order_acq_rel);
        return n;
      }
      if (state_->bufferCredit.load(std::memory_order_acquire) > 0) {
        state_->bufferCredit.fetch_sub(1, std::memory_order_acq_rel);
        return want;
      }
      return 0;
    }
    case Pacing::Clock: {
      // A read completes when all it asked for is due, as a period of a
      // sound card does; the device sleeps until then.
      const std::uint64_t needed = clockFrames_ + want;
      const auto due = clockStart_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                         static_cast<double>(needed) / format_.nSamplesPerSec));
      if (Clock::now() >= due) {
        clockFrames_ = needed;
        return want;
      }
      retryAt = due;
      return 0;
    }
  }
  return 0;
}

std::size_t SimCaptureSource::renderLoopback(BYTE* dst, std::size_t n) noexcept {
  SpscRing<WireFrame, 1u << 16>& wire = state_->wire;
  std::size_t made = 0;
  for (; made < n; ++made) {
    const std::uint64_t j = frame_ + made;
    const WireFrame* front = wire.front();
    if (front != nullptr && front->start) {
      // A new playing: its first frame arrives now.
      wire.pop();
      origin_ = j;
      for (LoopbackChannel& ch : channels_) ch.reset();
      state_->loopOrigin.store(static_cast<std::int64_t>(j), std::memory_order_release);
    }
    if (!origin_) {
      if (front != nullptr && !front->start) wire.pop();  // left over from a playing before this device
      for (LoopbackChannel& ch : channels_) putSample(dst, ch.idle());
      continue;
    }
    const std::uint64_t from = j - *origin_;
    bool waiting = false;
    for (LoopbackChannel& ch : channels_) {
      if (ch.fed() >= ch.playedNeeded(from)) continue;
      waiting = true;
      break;
    }
    while (waiting) {
      // Read before the wire: an output that has closed pushed its last frame first.
      const bool open = state_->wireOpen.load(std::memory_order_acquire);
      const WireFrame* f = wire.front();
      if (f == nullptr && open) {
        state_->playPoke.wake();
        return made;  // the output plays on: wait for its frames
      }
      // The playing has ended (or another begins): silence goes on through the path.
      const bool silence = f == nullptr || f->start;
      for (unsigned c = 0; c < channels_.size(); ++c) channels_[c].feed(silence ? 0.0f : f->sample[c < 2 ? c : 1]);
      if (!silence) wire.pop();
      waiting = false;
      for (LoopbackChannel& ch : channels_) waiting = waiting || ch.fed() < ch.playedNeeded(from);
    }
    for (LoopbackChannel& ch : channels_) putSample(dst, ch.capture(from));
  }
  state_->playPoke.wake();
  return made;
}

// The path's value as a sample of the input's format: rounded to the
// nearest step and clipped at full scale.
void SimCaptureSource::putSample(BYTE*& dst, double v) const noexcept {
  const double scaled = std::nearbyint(v * 32768.0);
  const auto s = static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0));
  if (format_.wBitsPerSample == 16) {
    std::memcpy(dst, &s, 2);
    dst += 2;
  } else {
    *dst++ = static_cast<BYTE>((s + 32768) >> 8);
  }
}

void SimCaptureSource::decideLimit() noexcept {
  while (state_->pendingCount < state_->pending.size()) {
    const std::optional<ShortBuffer> s = state_->shortBuffers.take();
    if (!s) break;
    state_->pending[state_->pendingCount++] = *s;
  }
  limit_.reset();
  for (std::size_t i = 0; i < state_->pendingCount; ++i) {
    const ShortBuffer& s = state_->pending[i];
    if (s.nth > 1) continue;
    const std::size_t frames = s.bytes / format_.nBlockAlign;
    limit_ = limit_ ? std::min(*limit_, frames) : frames;
  }
}

// The buffer's first frame (or its end) settles it: requests for it are
// used up, the others move one buffer closer.
void SimCaptureSource::commitBuffer() noexcept {
  if (decided_) return;
  decided_ = true;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < state_->pendingCount; ++i) {
    ShortBuffer s = state_->pending[i];
    if (s.nth <= 1) continue;
    --s.nth;
    state_->pending[kept++] = s;
  }
  state_->pendingCount = kept;
}

void SimCaptureSource::endBuffer() noexcept {
  framesInBuffer_ = 0;
  decided_ = false;
  limit_.reset();
}

}  // namespace platform::sim
