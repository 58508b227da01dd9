// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/AlsaPcm.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/ResultCodes.h"
#include "platform/Waker.h"

namespace platform::alsa {

AlsaPcm::~AlsaPcm() {
  if (pcm_ != nullptr) snd_pcm_close(pcm_);
}

MMRESULT AlsaPcm::open(const std::string& name, snd_pcm_stream_t stream, bool numbered, std::string& why,
                       const std::function<bool()>& configure) {
  SilenceAlsaMessages();
  stream_ = stream;
  if (!check_(snd_pcm_open(&pcm_, name.c_str(), stream, SND_PCM_NONBLOCK), "snd_pcm_open(" + name + ")")) {
    pcm_ = nullptr;
    why = check_.detail();
    return OpenFailureCode(check_.error(), numbered);
  }
  if (configure()) return MMSYSERR_NOERROR;
  // The PCM refuses a parameter of the format (or its combination).
  why = check_.detail();
  return check_.error() == -EINVAL ? WAVERR_BADFORMAT : OpenFailureCode(check_.error(), numbered);
}

bool AlsaPcm::configure(const WAVEFORMATEX& format, snd_pcm_uframes_t& period, snd_pcm_uframes_t& buffer) {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  const snd_pcm_format_t sampleFormat = format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  int dir = 0;
  if (!check_(snd_pcm_hw_params_any(pcm_, hw), "snd_pcm_hw_params_any") ||
      !check_(snd_pcm_hw_params_set_rate_resample(pcm_, hw, 1), "snd_pcm_hw_params_set_rate_resample") ||
      !check_(snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED),
              "snd_pcm_hw_params_set_access(interleaved)") ||
      !check_(snd_pcm_hw_params_set_format(pcm_, hw, sampleFormat), format.wBitsPerSample == 8
                                                                        ? "snd_pcm_hw_params_set_format(U8)"
                                                                        : "snd_pcm_hw_params_set_format(S16_LE)") ||
      !check_(snd_pcm_hw_params_set_channels(pcm_, hw, format.nChannels),
              format.nChannels == 1 ? "snd_pcm_hw_params_set_channels(1)" : "snd_pcm_hw_params_set_channels(2)") ||
      !check_(snd_pcm_hw_params_set_rate(pcm_, hw, format.nSamplesPerSec, 0), "snd_pcm_hw_params_set_rate") ||
      !check_(snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, &dir),
              "snd_pcm_hw_params_set_period_size_near") ||
      !check_(snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &buffer), "snd_pcm_hw_params_set_buffer_size_near") ||
      !check_(snd_pcm_hw_params(pcm_, hw), "snd_pcm_hw_params") ||
      !check_(snd_pcm_hw_params_get_period_size(hw, &period, &dir), "snd_pcm_hw_params_get_period_size") ||
      !check_(snd_pcm_hw_params_get_buffer_size(hw, &buffer), "snd_pcm_hw_params_get_buffer_size"))
    return false;
  periodMs_ = static_cast<int>((period * 1000 + format.nSamplesPerSec - 1) / format.nSamplesPerSec);

  if (stream_ == SND_PCM_STREAM_PLAYBACK) {
    // The stream starts when the ring is full (the sink starts a shorter
    // one when it drains), and the thread wakes when a period has room.
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if (!check_(snd_pcm_sw_params_current(pcm_, sw), "snd_pcm_sw_params_current") ||
        !check_(snd_pcm_sw_params_set_start_threshold(pcm_, sw, buffer), "snd_pcm_sw_params_set_start_threshold") ||
        !check_(snd_pcm_sw_params_set_avail_min(pcm_, sw, period), "snd_pcm_sw_params_set_avail_min") ||
        !check_(snd_pcm_sw_params(pcm_, sw), "snd_pcm_sw_params"))
      return false;
  }

  const int count = snd_pcm_poll_descriptors_count(pcm_);
  if (!check_(count, "snd_pcm_poll_descriptors_count")) return false;
  pcmFds_ = count;
  fds_.resize(static_cast<std::size_t>(count) + 1);
  return check_(snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(count)), "snd_pcm_poll_descriptors");
}

AlsaPcm::Wake AlsaPcm::wait(Waker& waker) {
  pollfd& wake = fds_[static_cast<std::size_t>(pcmFds_)];
  wake = {waker.fd(), POLLIN, 0};
  const int ready = poll(fds_.data(), fds_.size(), kPollMs);
  if (ready < 0) {
    if (errno == EINTR) return Wake::Interrupted;
    check_(-errno, "poll");
    return Wake::Failed;
  }
  if (ready == 0) return Wake::Timeout;
  if (wake.revents & POLLIN) {
    waker.drain();
    return Wake::Woken;
  }
  // The PCM's own descriptors may be a plugin's and mean something else
  // than "frames or room are there"; ALSA translates. An error shows in the
  // next read or write.
  unsigned short revents = 0;
  if (!check_(snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), static_cast<unsigned>(pcmFds_), &revents),
              "snd_pcm_poll_descriptors_revents"))
    return Wake::Failed;
  return revents != 0 ? Wake::Ready : Wake::Quiet;
}

AlsaPcm::Step AlsaPcm::recover(long error, Waker& waker) {
  if (error == -ESTRPIPE) {
    // Suspended (the machine slept): resume where the PCM can, waiting
    // for it on the waker so that a reset is not held up.
    int rc;
    while ((rc = snd_pcm_resume(pcm_)) == -EAGAIN)
      if (waker.wait(50)) return Step::Woken;
    if (rc == 0) return Step::Again;
  }
  if (!check_(snd_pcm_prepare(pcm_), "snd_pcm_prepare")) return Step::Failed;
  if (stream_ == SND_PCM_STREAM_CAPTURE && !check_(snd_pcm_start(pcm_), "snd_pcm_start")) return Step::Failed;
  return Step::Again;
}

AlsaPcm::Step AlsaPcm::recoverAgain(long error, Waker& waker, Clock::time_point since, std::string_view what,
                                    std::source_location where) {
  if (waker.wait(std::max(periodMs_, 1))) return Step::Woken;
  if (Stalled(since)) {
    check_(error, what, where);
    return Step::Failed;
  }
  return recover(error, waker);
}

void AlsaPcm::failStalled() {
  check_.fail(-ETIMEDOUT, std::string("the device ") + (stream_ == SND_PCM_STREAM_CAPTURE ? "delivered" : "took") +
                              " nothing for " +
                              std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kStall).count()) + " s");
}

bool AlsaPcm::delayAt(snd_pcm_sframes_t& delay, std::int64_t& nanoseconds) const {
  auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  };
  const std::int64_t before = now();
  if (snd_pcm_delay(handle(), &delay) < 0) return false;
  const std::int64_t after = now();
  if (after - before > 100000) return false;
  nanoseconds = before + (after - before) / 2;
  return true;
}

}  // namespace platform::alsa
