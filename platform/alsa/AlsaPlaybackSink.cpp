#include "platform/alsa/AlsaPlaybackSink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/ResultCodes.h"
#include "platform/Waker.h"

namespace platform::alsa {
namespace {

using Clock = std::chrono::steady_clock;

// Periods of about 20 ms, four to the ring: short enough that a sound
// server does not render far ahead of what it was given, long enough that
// the device thread keeps up under a loaded machine.
constexpr unsigned kPeriodsPerSecond = 50;
constexpr snd_pcm_uframes_t kPeriodsPerRing = 4;
// poll() wakes at least this often, so that a PCM that stopped taking
// frames without an error (a stalled server) is noticed.
constexpr int kPollMs = 250;
constexpr auto kStall = std::chrono::seconds(5);
// drain() waits for the ring plus this much (a sound server's own latency),
// then gives up on a device that no longer plays.
constexpr auto kDrainMargin = std::chrono::milliseconds(1000);
constexpr int kDrainStepMs = 20;

}  // namespace

AlsaPlaybackSink::AlsaPlaybackSink(snd_pcm_t* pcm, const WAVEFORMATEX& format) : pcm_(pcm), format_(format) {}

AlsaPlaybackSink::~AlsaPlaybackSink() { snd_pcm_close(pcm_); }

MMRESULT AlsaPlaybackSink::Open(const std::string& pcm, bool numbered, const WAVEFORMATEX& format,
                                std::unique_ptr<AlsaPlaybackSink>& sink, std::string& why) {
  snd_pcm_t* handle = nullptr;
  if (const MMRESULT rc = OpenPcm(pcm, SND_PCM_STREAM_PLAYBACK, numbered, handle, why); rc != MMSYSERR_NOERROR)
    return rc;
  std::unique_ptr<AlsaPlaybackSink> opened(new AlsaPlaybackSink(handle, format));
  if (!opened->configure()) {
    // The PCM refuses a parameter of the format (or its combination).
    why = opened->check_.detail();
    return ConfigureFailureCode(opened->check_.error(), numbered);
  }
  sink = std::move(opened);
  return MMSYSERR_NOERROR;
}

bool AlsaPlaybackSink::configure() {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  const snd_pcm_format_t sampleFormat = format_.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  const unsigned rate = format_.nSamplesPerSec;
  snd_pcm_uframes_t period = std::max<snd_pcm_uframes_t>(rate / kPeriodsPerSecond, 32);
  snd_pcm_uframes_t buffer = period * kPeriodsPerRing;
  int dir = 0;
  if (!check_(snd_pcm_hw_params_any(pcm_, hw), "snd_pcm_hw_params_any") ||
      !check_(snd_pcm_hw_params_set_rate_resample(pcm_, hw, 1), "snd_pcm_hw_params_set_rate_resample") ||
      !check_(snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED),
              "snd_pcm_hw_params_set_access(interleaved)") ||
      !check_(snd_pcm_hw_params_set_format(pcm_, hw, sampleFormat), format_.wBitsPerSample == 8
                                                                        ? "snd_pcm_hw_params_set_format(U8)"
                                                                        : "snd_pcm_hw_params_set_format(S16_LE)") ||
      !check_(snd_pcm_hw_params_set_channels(pcm_, hw, format_.nChannels),
              format_.nChannels == 1 ? "snd_pcm_hw_params_set_channels(1)" : "snd_pcm_hw_params_set_channels(2)") ||
      !check_(snd_pcm_hw_params_set_rate(pcm_, hw, rate, 0), "snd_pcm_hw_params_set_rate") ||
      !check_(snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, &dir),
              "snd_pcm_hw_params_set_period_size_near") ||
      !check_(snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &buffer), "snd_pcm_hw_params_set_buffer_size_near") ||
      !check_(snd_pcm_hw_params(pcm_, hw), "snd_pcm_hw_params") ||
      !check_(snd_pcm_hw_params_get_period_size(hw, &period_, &dir), "snd_pcm_hw_params_get_period_size") ||
      !check_(snd_pcm_hw_params_get_buffer_size(hw, &buffer_), "snd_pcm_hw_params_get_buffer_size"))
    return false;

  // The stream starts when the ring is full (drain() starts a shorter one),
  // and the device thread wakes when a period has room.
  snd_pcm_sw_params_t* sw;
  snd_pcm_sw_params_alloca(&sw);
  if (!check_(snd_pcm_sw_params_current(pcm_, sw), "snd_pcm_sw_params_current") ||
      !check_(snd_pcm_sw_params_set_start_threshold(pcm_, sw, buffer_), "snd_pcm_sw_params_set_start_threshold") ||
      !check_(snd_pcm_sw_params_set_avail_min(pcm_, sw, period_), "snd_pcm_sw_params_set_avail_min") ||
      !check_(snd_pcm_sw_params(pcm_, sw), "snd_pcm_sw_params"))
    return false;

  const int count = snd_pcm_poll_descriptors_count(pcm_);
  if (!check_(count, "snd_pcm_poll_descriptors_count")) return false;
  pcmFds_ = count;
  fds_.resize(static_cast<std::size_t>(count) + 1);
  return check_(snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(count)), "snd_pcm_poll_descriptors");
}

PlaybackSink::WriteResult AlsaPlaybackSink::write(const BYTE* src, std::size_t frames, Waker& waker) {
  using Kind = WriteResult::Kind;
  const WriteResult failed{Kind::Failed, 0, MMSYSERR_NODRIVER};
  // A PCM that could not be prepared again after a discard stays failed.
  if (check_.failed()) return failed;
  const Clock::time_point since = Clock::now();
  for (;;) {
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm_, src, frames);
    if (n > 0) return {Kind::Frames, static_cast<std::size_t>(n), 0};
    Step step;
    if (n == 0 || n == -EAGAIN) {
      if (Clock::now() - since >= kStall) {
        check_.fail(-ETIMEDOUT, "the device took nothing for " + std::to_string(kStall.count()) + " s");
        step = Step::Failed;
      } else {
        step = sleep(waker);
      }
    } else if (n == -EPIPE || n == -ESTRPIPE) {
      step = recover(n, waker);
    } else {
      check_(n, "snd_pcm_writei");
      step = Step::Failed;
    }
    if (step == Step::Woken) return {Kind::Woken, 0, 0};
    if (step == Step::Failed) return failed;
  }
}

AlsaPlaybackSink::Step AlsaPlaybackSink::sleep(Waker& waker) {
  pollfd& wake = fds_[static_cast<std::size_t>(pcmFds_)];
  wake = {waker.fd(), POLLIN, 0};
  const int ready = poll(fds_.data(), fds_.size(), kPollMs);
  if (ready < 0) {
    if (errno == EINTR) return Step::Again;
    return check_(-errno, "poll") ? Step::Again : Step::Failed;
  }
  if (ready == 0) return Step::Again;
  if (wake.revents & POLLIN) {
    waker.drain();
    return Step::Woken;
  }
  // The PCM's own descriptors may be a plugin's and mean something else
  // than "there is room"; ALSA translates. An error shows in the next write.
  unsigned short revents = 0;
  return check_(snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), static_cast<unsigned>(pcmFds_), &revents),
                "snd_pcm_poll_descriptors_revents")
             ? Step::Again
             : Step::Failed;
}

AlsaPlaybackSink::Step AlsaPlaybackSink::recover(long error, Waker& waker) {
  if (error == -EPIPE) {
    underruns_.fetch_add(1, std::memory_order_relaxed);
  } else {
    // Suspended (the machine slept): resume where the PCM can, waiting
    // for it on the waker so that a reset is not held up.
    int rc;
    while ((rc = snd_pcm_resume(pcm_)) == -EAGAIN)
      if (waker.wait(50)) return Step::Woken;
    if (rc == 0) return Step::Again;
  }
  // Prepared again, the stream restarts once the ring is full.
  return check_(snd_pcm_prepare(pcm_), "snd_pcm_prepare") ? Step::Again : Step::Failed;
}

void AlsaPlaybackSink::drain() {
  // A stream shorter than the ring has not started yet.
  if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) {
    const snd_pcm_sframes_t avail = snd_pcm_avail(pcm_);
    if (avail >= 0 && static_cast<snd_pcm_uframes_t>(avail) < buffer_) snd_pcm_start(pcm_);
  }
  // Wait for the delay to run out, a bounded while, then drop: dropping
  // earlier takes back from a sound server what it has not played yet.
  const auto ringTime = std::chrono::milliseconds(1000 * buffer_ / format_.nSamplesPerSec);
  const Clock::time_point deadline = Clock::now() + ringTime + kDrainMargin;
  for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
    const snd_pcm_state_t state = snd_pcm_state(pcm_);
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_, &delay) < 0 || delay <= 0) break;
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
  snd_pcm_drop(pcm_);
}

void AlsaPlaybackSink::discard() {
  snd_pcm_drop(pcm_);
  check_(snd_pcm_prepare(pcm_), "snd_pcm_prepare");
}

}  // namespace platform::alsa
