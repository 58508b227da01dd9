#include "platform/alsa/AlsaCaptureSource.h"

#include <algorithm>
#include <cerrno>
#include <string_view>

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
// poll() wakes at least this often, so that a PCM that stopped delivering
// without an error (a stalled server) is noticed.
constexpr int kPollMs = 250;
constexpr int kStallMs = 5000;

}  // namespace

AlsaCaptureSource::AlsaCaptureSource(snd_pcm_t* pcm, const WAVEFORMATEX& format) : pcm_(pcm), format_(format) {}

AlsaCaptureSource::~AlsaCaptureSource() { snd_pcm_close(pcm_); }

MMRESULT AlsaCaptureSource::Open(const std::string& pcm, bool numbered, const WAVEFORMATEX& format,
                                 std::unique_ptr<AlsaCaptureSource>& source, std::string& why) {
  snd_pcm_t* handle = nullptr;
  if (const MMRESULT rc = OpenPcm(pcm, SND_PCM_STREAM_CAPTURE, numbered, handle, why); rc != MMSYSERR_NOERROR)
    return rc;
  std::unique_ptr<AlsaCaptureSource> opened(new AlsaCaptureSource(handle, format));
  if (!opened->configure(kFirstBuffer)) {
    // The PCM refuses a parameter of the format (or its combination).
    why = opened->check_.detail();
    return ConfigureFailureCode(opened->check_.error(), numbered);
  }
  opened->fittedTo_ = kFirstBuffer;
  source = std::move(opened);
  return MMSYSERR_NOERROR;
}

bool AlsaCaptureSource::configure(snd_pcm_uframes_t frames) {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  const snd_pcm_format_t sampleFormat = format_.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  unsigned rate = format_.nSamplesPerSec;
  snd_pcm_uframes_t period =
      std::max<snd_pcm_uframes_t>(std::min<snd_pcm_uframes_t>(frames / kPeriodsPerBuffer, rate / kPeriodsPerSecond), 1);
  snd_pcm_uframes_t buffer = frames * kBuffersPerRing;
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
      !check_(snd_pcm_hw_params_get_period_size(hw, &period_, &dir), "snd_pcm_hw_params_get_period_size"))
    return false;
  periodMs_ = static_cast<int>((period_ * 1000 + rate - 1) / rate);

  const int count = snd_pcm_poll_descriptors_count(pcm_);
  if (!check_(count, "snd_pcm_poll_descriptors_count")) return false;
  pcmFds_ = count;
  fds_.resize(static_cast<std::size_t>(count) + 1);
  return check_(snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(count)), "snd_pcm_poll_descriptors");
}

MMRESULT AlsaCaptureSource::start() {
  fresh_ = true;
  // A PCM just configured is prepared already; preparing the pulse plugin's
  // again would make it connect a new stream to the server.
  const bool prepared = snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED;
  if ((!prepared && !check_(snd_pcm_prepare(pcm_), "snd_pcm_prepare")) || !check_(snd_pcm_start(pcm_), "snd_pcm_start"))
    return MMSYSERR_NODRIVER;
  return MMSYSERR_NOERROR;
}

void AlsaCaptureSource::stop() { snd_pcm_drop(pcm_); }

bool AlsaCaptureSource::refit(snd_pcm_uframes_t frames) {
  fittedTo_ = frames;
  snd_pcm_drop(pcm_);
  return configure(frames) && check_(snd_pcm_start(pcm_), "snd_pcm_start");
}

CaptureSource::ReadResult AlsaCaptureSource::read(BYTE* dst, std::size_t frames, Waker& waker) {
  using Kind = ReadResult::Kind;
  const ReadResult failed{Kind::Failed, 0, MMSYSERR_NODRIVER};
  if (fresh_) {
    fresh_ = false;
    if (frames != fittedTo_ && !refit(frames)) return failed;
  }
  int stalledMs = 0;
  bool restarted = false;  // after an overrun, with nothing read since
  for (;;) {
    const snd_pcm_sframes_t n = snd_pcm_readi(pcm_, dst, frames);
    if (n > 0) return {Kind::Frames, static_cast<std::size_t>(n), 0};
    Step step;
    if (n == 0 || n == -EAGAIN) {
      step = sleep(waker, stalledMs);
      if (step == Step::Again && stalledMs >= kStallMs) {
        check_.fail(-ETIMEDOUT, "the device delivered nothing for " + std::to_string(kStallMs / 1000) + " s");
        step = Step::Failed;
      }
    } else if (n == -EPIPE && restarted) {
      // Overrunning again at once after a restart: the PCM does not run at
      // all (ALSA's PipeWire plugin reports the end of its server so). It is
      // tried again a period later, and given up as a stalled one would be.
      const int pause = std::max(periodMs_, 1);
      if (waker.wait(pause)) return {Kind::Woken, 0, 0};
      stalledMs += pause;
      if (stalledMs >= kStallMs) {
        check_(n, "snd_pcm_readi, overrunning at once after every restart");
        step = Step::Failed;
      } else {
        step = recover(n, waker);
      }
    } else if (n == -EPIPE || n == -ESTRPIPE) {
      if (n == -EPIPE) overruns_.fetch_add(1, std::memory_order_relaxed);
      step = recover(n, waker);
      restarted = true;
    } else {
      check_(n, "snd_pcm_readi");
      step = Step::Failed;
    }
    if (step == Step::Woken) return {Kind::Woken, 0, 0};
    if (step == Step::Failed) return failed;
  }
}

AlsaCaptureSource::Step AlsaCaptureSource::sleep(Waker& waker, int& stalledMs) {
  pollfd& wake = fds_[static_cast<std::size_t>(pcmFds_)];
  wake = {waker.fd(), POLLIN, 0};
  const int ready = poll(fds_.data(), fds_.size(), kPollMs);
  if (ready < 0) {
    if (errno == EINTR) return Step::Again;
    return check_(-errno, "poll") ? Step::Again : Step::Failed;
  }
  if (ready == 0) {
    stalledMs += kPollMs;
    return Step::Again;
  }
  if (wake.revents & POLLIN) {
    waker.drain();
    return Step::Woken;
  }
  // The PCM's own descriptors may be a plugin's and mean something else
  // than "frames are there"; ALSA translates. An error shows in the next read.
  unsigned short revents = 0;
  if (!check_(snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), static_cast<unsigned>(pcmFds_), &revents),
              "snd_pcm_poll_descriptors_revents"))
    return Step::Failed;
  if (revents != 0) {
    stalledMs = 0;
    return Step::Again;
  }
  // A plugin's descriptor that stays readable while less than a period is
  // there: polling again now would only spin. The next hand-over is at most
  // a period away.
  const int pause = std::max(periodMs_ / 4, 1);
  if (waker.wait(pause)) return Step::Woken;
  stalledMs += pause;
  return Step::Again;
}

AlsaCaptureSource::Step AlsaCaptureSource::recover(long error, Waker& waker) {
  if (error == -ESTRPIPE) {
    // Suspended (the machine slept): resume where the PCM can, waiting
    // for it on the waker so that a reset is not held up.
    int rc;
    while ((rc = snd_pcm_resume(pcm_)) == -EAGAIN)
      if (waker.wait(50)) return Step::Woken;
    if (rc == 0) return Step::Again;
  }
  if (!check_(snd_pcm_prepare(pcm_), "snd_pcm_prepare") || !check_(snd_pcm_start(pcm_), "snd_pcm_start"))
    return Step::Failed;
  return Step::Again;
}

}  // namespace platform::alsa
