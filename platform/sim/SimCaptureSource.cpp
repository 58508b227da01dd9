#include "platform/sim/SimCaptureSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <poll.h>

#include "platform/Waker.h"

namespace platform::sim {

SimCaptureSource::SimCaptureSource(std::shared_ptr<SimAudioSystem::State> state, Signal signal, Pacing pacing,
                                   const WAVEFORMATEX& format)
    : state_(std::move(state)), signal_(std::move(signal)), pacing_(pacing), format_(format) {}

MMRESULT SimCaptureSource::start() {
  started_ = std::chrono::steady_clock::now() - std::chrono::microseconds(
      static_cast<long long>(frame_ * 1000000 / format_.nSamplesPerSec));
  return MMSYSERR_NOERROR;
}

std::uint64_t SimCaptureSource::ready(int& sleepMs) const {
  if (pacing_ == Pacing::Manual) {
    sleepMs = -1;
    const std::uint64_t avail = state_->available.load(std::memory_order_acquire);
    const std::uint64_t done = state_->produced.load(std::memory_order_acquire);
    return avail > done ? avail - done : 0;
  }
  const auto elapsed = std::chrono::steady_clock::now() - started_;
  const auto due = static_cast<std::uint64_t>(
      std::chrono::duration<double>(elapsed).count() * format_.nSamplesPerSec);
  sleepMs = 5;
  return due > frame_ ? due - frame_ : 0;
}

CaptureSource::ReadResult SimCaptureSource::read(BYTE* dst, std::size_t frames, Waker& waker) {
  for (;;) {
    if (state_->deviceFailure.load(std::memory_order_acquire) != 0)
      return {ReadResult::Kind::Failed, 0, state_->deviceFailure.load(), false};
    int sleepMs = -1;
    std::uint64_t n = std::min<std::uint64_t>(ready(sleepMs), frames);
    const std::int64_t shortBytes = state_->shortBytes.load(std::memory_order_acquire);
    if (shortBytes >= 0 && state_->shortBytes.exchange(-1) >= 0) {
      n = std::min<std::uint64_t>(n, static_cast<std::uint64_t>(shortBytes) / format_.nBlockAlign);
      generate(dst, n);
      return {ReadResult::Kind::Frames, n, 0, true};
    }
    if (n > 0) {
      generate(dst, n);
      return {ReadResult::Kind::Frames, n, 0, false};
    }
    pollfd fds[2] = {{waker.fd(), POLLIN, 0}, {state_->released.fd(), POLLIN, 0}};
    poll(fds, 2, sleepMs);
    if (fds[1].revents & POLLIN) state_->released.drain();
    if (fds[0].revents & POLLIN) {
      waker.drain();
      return {ReadResult::Kind::Woken, 0, 0, false};
    }
  }
}

void SimCaptureSource::generate(BYTE* dst, std::size_t frames) {
  const bool wide = format_.wBitsPerSample == 16;
  const unsigned channels = format_.nChannels;
  for (std::size_t f = 0; f < frames; ++f, ++frame_) {
    for (unsigned c = 0; c < channels; ++c) {
      std::int32_t v = 0;  // 16-bit scale
      switch (signal_.kind) {
        case Signal::Kind::Silence: v = 0; break;
        case Signal::Kind::Sine:
          v = static_cast<std::int32_t>(std::lround(
              32767.0 * signal_.amplitude *
              std::sin(2 * std::numbers::pi * signal_.frequency * static_cast<double>(frame_) /
                       format_.nSamplesPerSec)));
          break;
        case Signal::Kind::Counter: {
          const auto k = static_cast<std::uint16_t>(wide ? frame_ : (frame_ & 0xFF));
          const std::uint16_t value = c == 0 ? k : static_cast<std::uint16_t>(wide ? ~k : 255 - k);
          if (!wide) {
            dst[0] = static_cast<BYTE>(value);
            dst += 1;
            continue;
          }
          std::memcpy(dst, &value, 2);
          dst += 2;
          continue;
        }
        case Signal::Kind::Samples:
          if (!signal_.samples.empty())
            v = signal_.samples[(frame_ * channels + c) % signal_.samples.size()];
          break;
      }
      if (wide) {
        const auto s = static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
        std::memcpy(dst, &s, 2);
        dst += 2;
      } else {
        *dst++ = static_cast<BYTE>(std::clamp(v / 256 + 128, 0, 255));
      }
    }
  }
  state_->produced.fetch_add(frames, std::memory_order_acq_rel);
}

}  // namespace platform::sim
