#include "platform/alsa/AlsaCaptureSource.h"

#include <cerrno>
#include <poll.h>

#include "platform/ResultCodes.h"
#include "platform/Waker.h"

namespace platform::alsa {

namespace {

std::string Reason(const char* what, int err) { return std::string(what) + ": " + snd_strerror(err); }

MMRESULT OpenCode(int err) {
  switch (err) {
    case -EBUSY: return MMSYSERR_ALLOCATED;
    case -ENOENT:
    case -ENODEV:
    case -ENXIO: return MMSYSERR_NODRIVER;
    case -ENOMEM: return MMSYSERR_NOMEM;
    default: return MMSYSERR_ERROR;
  }
}

}  // namespace

MMRESULT AlsaCaptureSource::Open(const std::string& name, const WAVEFORMATEX& f, std::unique_ptr<CaptureSource>& out,
                                 std::string& why) {
  snd_pcm_t* pcm = nullptr;
  int err = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
  if (err < 0) {
    why = Reason(("snd_pcm_open " + name).c_str(), err);
    return OpenCode(err);
  }
  // A period of about 20 ms keeps latency low whatever the block length;
  // the buffer holds a tenth of a second: a live scope wants little latency,
  // and four queued blocks already give the GUI thread 186 ms to re-queue.
  const snd_pcm_format_t format = f.wBitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
  err = snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, f.nChannels, f.nSamplesPerSec, 1, 100000);
  if (err < 0) {
    why = Reason("snd_pcm_set_params", err);
    snd_pcm_close(pcm);
    return err == -EINVAL ? WAVERR_BADFORMAT : OpenCode(err);
  }
  out.reset(new AlsaCaptureSource(pcm, f.nBlockAlign));
  return MMSYSERR_NOERROR;
}

AlsaCaptureSource::AlsaCaptureSource(snd_pcm_t* pcm, std::size_t frameBytes) : pcm_(pcm), frameBytes_(frameBytes) {
  const int n = snd_pcm_poll_descriptors_count(pcm_);
  fds_.resize(static_cast<std::size_t>(n > 0 ? n : 0) + 1);
  if (n > 0) snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(n));
}

AlsaCaptureSource::~AlsaCaptureSource() { snd_pcm_close(pcm_); }

MMRESULT AlsaCaptureSource::start() {
  int err = snd_pcm_prepare(pcm_);
  if (err >= 0) err = snd_pcm_start(pcm_);
  if (err < 0) {
    detail_ = Reason("snd_pcm_start", err);
    return MMSYSERR_NODRIVER;
  }
  running_ = true;
  return MMSYSERR_NOERROR;
}

void AlsaCaptureSource::stop() {
  if (running_) snd_pcm_drop(pcm_);
  running_ = false;
}

// Overruns and suspends are recovered and capture goes on.
bool AlsaCaptureSource::recover(int err) {
  if (err == -EPIPE) overruns_.fetch_add(1, std::memory_order_relaxed);
  if (err != -EPIPE && err != -ESTRPIPE) return false;
  if (err == -ESTRPIPE) {
    while (snd_pcm_resume(pcm_) == -EAGAIN) poll(nullptr, 0, 10);
  }
  return snd_pcm_prepare(pcm_) >= 0 && snd_pcm_start(pcm_) >= 0;
}

CaptureSource::ReadResult AlsaCaptureSource::failed(const char* what, int err) {
  detail_ = Reason(what, err);
  running_ = false;
  return {ReadResult::Kind::Failed, 0, MMSYSERR_NODRIVER};
}

CaptureSource::ReadResult AlsaCaptureSource::read(BYTE* dst, std::size_t frames, Waker& waker) {
  for (;;) {
    const snd_pcm_sframes_t got = snd_pcm_readi(pcm_, dst, frames);
    if (got > 0) return {ReadResult::Kind::Frames, static_cast<std::size_t>(got), 0};
    if (got < 0 && got != -EAGAIN) {
      if (recover(static_cast<int>(got))) continue;
      return failed("snd_pcm_readi", static_cast<int>(got));
    }
    // Nothing there yet: sleep until the PCM or the owner wakes us.
    const std::size_t n = fds_.size() - 1;
    if (n > 0) snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(n));
    fds_[n] = pollfd{waker.fd(), POLLIN, 0};
    // A sound server that stops answering must not hang the device: after
    // two seconds without frames the source is taken as gone.
    const int ready = poll(fds_.data(), static_cast<nfds_t>(fds_.size()), 2000);
    if (ready == 0) return failed("capture", -EIO);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return failed("poll", -errno);
    }
    if (fds_[n].revents & POLLIN) {
      waker.drain();
      return {ReadResult::Kind::Woken, 0, 0};
    }
    unsigned short revents = 0;
    if (n > 0) snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), static_cast<unsigned>(n), &revents);
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
      const snd_pcm_state_t state = snd_pcm_state(pcm_);
      if (state == SND_PCM_STATE_XRUN && recover(-EPIPE)) continue;
      if (state == SND_PCM_STATE_DISCONNECTED || (revents & (POLLHUP | POLLNVAL)))
        return failed("capture", -ENODEV);
    }
  }
}

}  // namespace platform::alsa
