// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/AlsaPlaybackSink.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/ResultCodes.h"
#include "platform/Waker.h"

namespace platform::alsa {
namespace {

using Clock = AlsaPcm::Clock;

// Periods of about 20 ms, four to the ring: short enough that a sound
// server does not render far ahead of what it was given, long enough that
// the device thread keeps up under a loaded machine.
constexpr unsigned kPeriodsPerSecond = 50;
constexpr snd_pcm_uframes_t kPeriodsPerRing = 4;
// drain() waits for the ring plus this much (a sound server's own latency),
// then gives up on a device that no longer plays.
constexpr auto kDrainMargin = std::chrono::milliseconds(1000);
constexpr int kDrainStepMs = 20;

}  // namespace

MMRESULT AlsaPlaybackSink::open(const std::string& pcm, bool numbered, const WAVEFORMATEX& format, std::string& why) {
  format_ = format;
  return pcm_.open(pcm, SND_PCM_STREAM_PLAYBACK, numbered, why, [this] { return configure(); });
}

bool AlsaPlaybackSink::configure() {
  snd_pcm_uframes_t period = std::max<snd_pcm_uframes_t>(format_.nSamplesPerSec / kPeriodsPerSecond, 32);
  snd_pcm_uframes_t buffer = period * kPeriodsPerRing;
  if (!pcm_.configure(format_, period, buffer)) return false;
  period_ = period;
  buffer_ = buffer;
  return true;
}

PlaybackSink::WriteResult AlsaPlaybackSink::write(const BYTE* src, std::size_t frames, Waker& waker) {
  using Kind = WriteResult::Kind;
  const WriteResult failed{Kind::Failed, 0, MMSYSERR_NODRIVER};
  // A PCM that could not be prepared again after a discard stays failed.
  if (pcm_.check().failed()) return failed;
  const Clock::time_point since = Clock::now();
  bool restarted = false;  // after an underrun, with nothing written since
  for (;;) {
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm_.handle(), src, frames);
    if (n > 0) {
      framesWritten_ += static_cast<std::uint64_t>(n);
      return {Kind::Frames, static_cast<std::size_t>(n), 0};
    }
    Step step;
    if (n == 0 || n == -EAGAIN) {
      if (AlsaPcm::Stalled(since)) {
        pcm_.failStalled();
        step = Step::Failed;
      } else {
        step = sleep(waker);
      }
    } else if (n == -EPIPE && restarted) {
      // A PCM just prepared is not running and cannot underrun: one that
      // does at once after every restart plays nothing. Writing again at
      // once would spin, and never reach the stall limit.
      step = pcm_.recoverAgain(n, waker, since, "snd_pcm_writei, underrunning at once after every restart");
    } else if (n == -EPIPE || n == -ESTRPIPE) {
      if (n == -EPIPE) underruns_.fetch_add(1, std::memory_order_relaxed);
      step = pcm_.recover(n, waker);
      restarted = true;
    } else {
      pcm_.check()(n, "snd_pcm_writei");
      step = Step::Failed;
    }
    if (step == Step::Woken) return {Kind::Woken, 0, 0};
    if (step == Step::Failed) return failed;
  }
}

AlsaPlaybackSink::Step AlsaPlaybackSink::sleep(Waker& waker) {
  switch (pcm_.wait(waker)) {
    case AlsaPcm::Wake::Woken:
      return Step::Woken;
    case AlsaPcm::Wake::Failed:
      return Step::Failed;
    default:
      return Step::Again;
  }
}

void AlsaPlaybackSink::drain() {
  snd_pcm_t* pcm = pcm_.handle();
  // A stream shorter than the ring has not started yet.
  if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED) {
    const snd_pcm_sframes_t avail = snd_pcm_avail(pcm);
    if (avail >= 0 && static_cast<snd_pcm_uframes_t>(avail) < buffer_) snd_pcm_start(pcm);
  }
  // Wait for the delay to run out, a bounded while, then drop: dropping
  // earlier takes back from a sound server what it has not played yet.
  const auto ringTime = std::chrono::milliseconds(1000 * buffer_ / format_.nSamplesPerSec);
  const Clock::time_point deadline = Clock::now() + ringTime + kDrainMargin;
  for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
    const snd_pcm_state_t state = snd_pcm_state(pcm);
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm, &delay) < 0 || delay <= 0) break;
    const auto left = std::chrono::milliseconds(1000 * delay / format_.nSamplesPerSec + 1);
    if (state == SND_PCM_STATE_XRUN) {
      // The ring ran dry: a card has played everything (and reports no
      // delay), a sound server still plays what it took, but its delay no
      // longer moves. Wait that long by the clock.
      const auto untilDeadline = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
      poll(nullptr, 0, static_cast<int>(std::min(left, untilDeadline).count()));
      break;
    }
    if (state != SND_PCM_STATE_RUNNING) break;
    poll(nullptr, 0, static_cast<int>(std::min<long>(left.count(), kDrainStepMs)));
  }
  snd_pcm_drop(pcm);
}

void AlsaPlaybackSink::discard() {
  snd_pcm_drop(pcm_.handle());
  pcm_.check()(snd_pcm_prepare(pcm_.handle()), "snd_pcm_prepare");
}

// From the device's delay: the frames written and not yet heard.
bool AlsaPlaybackSink::stamp(WAVESTAMP& stamp) {
  snd_pcm_sframes_t delay = 0;
  if (!pcm_.delayAt(delay, stamp.nanoseconds)) return false;
  const auto pending = static_cast<std::uint64_t>(std::max<snd_pcm_sframes_t>(delay, 0));
  if (pending > framesWritten_) return false;
  stamp.frames = framesWritten_ - pending;
  return true;
}

}  // namespace platform::alsa
