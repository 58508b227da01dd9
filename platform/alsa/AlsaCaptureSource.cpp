// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/AlsaCaptureSource.h"

#include <algorithm>
#include <cerrno>

#include "platform/ResultCodes.h"
#include "platform/Waker.h"

namespace platform::alsa {
namespace {

// Buffers until the first read says how large they are: the component's
// usual block.
constexpr snd_pcm_uframes_t kFirstBuffer = 2048;
// Periods of 10 ms, or a quarter buffer where that is shorter, so that a
// buffer comes within a period of its time. At 44100 and 48000 Hz a 10 ms
// period is also a whole number of microseconds: PulseAudio keeps the
// fragment it is asked for in microseconds and hands over exactly one period
// at a time, where a 512-frame period (11609.98 µs) comes back as 511 frames
// and the PCM becomes readable only every second hand-over.
constexpr unsigned kPeriodsPerSecond = 100;
constexpr snd_pcm_uframes_t kPeriodsPerBuffer = 4;
constexpr snd_pcm_uframes_t kBuffersPerRing = 4;

}  // namespace

MMRESULT AlsaCaptureSource::open(const std::string& pcm, bool numbered, const WAVEFORMATEX& format, std::string& why) {
  format_ = format;
  return pcm_.open(pcm, SND_PCM_STREAM_CAPTURE, numbered, why, [this] { return configure(kFirstBuffer); });
}

bool AlsaCaptureSource::configure(snd_pcm_uframes_t frames) {
  fittedTo_ = frames;
  const unsigned rate = format_.nSamplesPerSec;
  snd_pcm_uframes_t period =
      std::max<snd_pcm_uframes_t>(std::min<snd_pcm_uframes_t>(frames / kPeriodsPerBuffer, rate / kPeriodsPerSecond), 1);
  snd_pcm_uframes_t buffer = frames * kBuffersPerRing;
  if (!pcm_.configure(format_, period, buffer)) return false;
  period_ = period;
  return true;
}

MMRESULT AlsaCaptureSource::start() {
  fresh_ = true;
  // A PCM just configured is prepared already; preparing the pulse plugin's
  // again would make it connect a new stream to the server.
  snd_pcm_t* pcm = pcm_.handle();
  AlsaCheck& check = pcm_.check();
  const bool prepared = snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED;
  if ((!prepared && !check(snd_pcm_prepare(pcm), "snd_pcm_prepare")) || !check(snd_pcm_start(pcm), "snd_pcm_start"))
    return MMSYSERR_NODRIVER;
  return MMSYSERR_NOERROR;
}

void AlsaCaptureSource::stop() { snd_pcm_drop(pcm_.handle()); }

bool AlsaCaptureSource::refit(snd_pcm_uframes_t frames) {
  snd_pcm_drop(pcm_.handle());
  return configure(frames) && pcm_.check()(snd_pcm_start(pcm_.handle()), "snd_pcm_start");
}

CaptureSource::ReadResult AlsaCaptureSource::read(BYTE* dst, std::size_t frames, Waker& waker) {
  using Kind = ReadResult::Kind;
  const ReadResult failed{Kind::Failed, 0, MMSYSERR_NODRIVER};
  if (fresh_) {
    fresh_ = false;
    if (frames != fittedTo_ && !refit(frames)) return failed;
  }
  const AlsaPcm::Clock::time_point since = AlsaPcm::Clock::now();
  bool restarted = false;  // after an overrun, with nothing read since
  for (;;) {
    const snd_pcm_sframes_t n = snd_pcm_readi(pcm_.handle(), dst, frames);
    if (n > 0) {
      framesRead_ += static_cast<std::uint64_t>(n);
      return {Kind::Frames, static_cast<std::size_t>(n), 0};
    }
    Step step;
    if (n == 0 || n == -EAGAIN) {
      step = sleep(waker);
      if (step == Step::Again && AlsaPcm::Stalled(since)) {
        pcm_.failStalled();
        step = Step::Failed;
      }
    } else if (n == -EPIPE && restarted) {
      // Overrunning again at once after a restart: the PCM does not run at all.
      step = pcm_.recoverAgain(n, waker, since, "snd_pcm_readi, overrunning at once after every restart");
    } else if (n == -EPIPE || n == -ESTRPIPE) {
      if (n == -EPIPE) overruns_.fetch_add(1, std::memory_order_relaxed);
      step = pcm_.recover(n, waker);
      restarted = true;
    } else {
      pcm_.check()(n, "snd_pcm_readi");
      step = Step::Failed;
    }
    if (step == Step::Woken) return {Kind::Woken, 0, 0};
    if (step == Step::Failed) return failed;
  }
}

AlsaCaptureSource::Step AlsaCaptureSource::sleep(Waker& waker) {
  using Wake = AlsaPcm::Wake;
  switch (pcm_.wait(waker)) {
    case Wake::Ready:
    case Wake::Timeout:
    case Wake::Interrupted:
      return Step::Again;
    case Wake::Woken:
      return Step::Woken;
    case Wake::Failed:
      return Step::Failed;
    case Wake::Quiet:
      break;
  }
  // A plugin's descriptor that stays readable while less than a period is
  // there: polling again now would only spin. The next hand-over is at most
  // a period away.
  const int pause = std::max(pcm_.periodMs() / 4, 1);
  if (waker.wait(pause)) return Step::Woken;
  return Step::Again;
}

// From the device's delay: the frames captured and not yet read, a sound
// server's own buffering included.
bool AlsaCaptureSource::stamp(WAVESTAMP& stamp) {
  snd_pcm_sframes_t waiting = 0;
  if (!pcm_.delayAt(waiting, stamp.nanoseconds) || waiting < 0) return false;
  stamp.frames = framesRead_ + static_cast<std::uint64_t>(waiting);
  return true;
}

}  // namespace platform::alsa
