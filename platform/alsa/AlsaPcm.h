// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One ALSA PCM as a wave device's thread drives it, in either direction:
// opened in non-blocking mode, its parameters set for the device's format,
// the thread's sleep in poll() on the PCM's descriptors and the device's
// waker (so that a reset or close wakes it at once), recovery from xruns
// and suspends, and the stall limit after which a PCM that moves nothing
// fails the device. AlsaCaptureSource and AlsaPlaybackSink are the two
// directions' glue around it.
//
// Every ALSA call's result goes through check(), which a failure leaves
// with the reason. The sleep and the recovery allocate nothing and take no
// lock.
#pragma once

#include <alsa/asoundlib.h>
#include <poll.h>

#include <chrono>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"
#include "platform/alsa/AlsaCheck.h"

namespace platform {
class Waker;
}

namespace platform::alsa {

class AlsaPcm {
 public:
  using Clock = std::chrono::steady_clock;

  // poll() wakes at least this often, so that a PCM that stopped moving
  // frames without an error (a stalled server) is noticed.
  static constexpr int kPollMs = 250;
  // A PCM that moves nothing for this long fails the device: by the clock,
  // from the start of a read or write that moved nothing since (the waits
  // alone would leave out the time between them).
  static constexpr std::chrono::milliseconds kStall{5000};
  static bool Stalled(Clock::time_point since) { return Clock::now() - since >= kStall; }

  AlsaPcm() = default;
  ~AlsaPcm();
  AlsaPcm(const AlsaPcm&) = delete;
  AlsaPcm& operator=(const AlsaPcm&) = delete;

  // Opens `name` for `stream` and sets it up with `configure`, which
  // reports a refusal through check(). Non-zero: the code the device's open
  // reports (a refused parameter is a bad format), with ALSA's reason in
  // `why`. `numbered`: the PCM is one of the listed devices, so that a PCM
  // that is gone means a wrong device number rather than no driver.
  MMRESULT open(const std::string& name, snd_pcm_stream_t stream, bool numbered, std::string& why,
                const std::function<bool()>& configure);

  // Sets the hardware parameters for `format` (interleaved, resampled by
  // ALSA where the PCM does not take the rate), with periods of about
  // `period` frames and a ring of about `buffer`; both come back as the PCM
  // set them. A playback PCM then starts once its ring is full and wakes
  // the thread when a period has room. Leaves the PCM prepared, with its
  // descriptors ready for wait().
  bool configure(const WAVEFORMATEX& format, snd_pcm_uframes_t& period, snd_pcm_uframes_t& buffer);
  // The configured period's length in ms, rounded up.
  int periodMs() const noexcept { return periodMs_; }

  // How a wait ended: the PCM has frames or room (as ALSA reads its
  // descriptors), a descriptor is ready while ALSA sees nothing, kPollMs
  // passed, a signal came, the waker fired, or poll() failed.
  enum class Wake { Ready, Quiet, Timeout, Interrupted, Woken, Failed };
  Wake wait(Waker& waker);

  // How a recovery (or a wait the glue made of a Wake) ended: go on, the
  // waker fired, or the PCM failed (check() says why).
  enum class Step { Again, Woken, Failed };
  // Brings the PCM back after an xrun (-EPIPE) or a suspend (-ESTRPIPE).
  // Capture starts again at once; playback once the ring is full again.
  Step recover(long error, Waker& waker);
  // For an xrun again at once after a recovery, with nothing moved since:
  // the PCM does not run at all (ALSA's PipeWire plugin reports the end of
  // its server so, and its prepare goes on succeeding). Recovers again a
  // period later (the waker cuts that short); once kStall has passed since
  // `since`, fails with `what` as the call and the xrun as the reason.
  Step recoverAgain(long error, Waker& waker, Clock::time_point since, std::string_view what,
                    std::source_location where = std::source_location::current());

  // Records the failure of a PCM that moved nothing for kStall.
  void failStalled();

  snd_pcm_t* handle() const noexcept { return pcm_; }
  // The device's delay (frames written and not yet heard, or captured and
  // not yet read) and the CLOCK_MONOTONIC moment it holds for, in ns: the
  // middle of the call. False when the call failed, or took over 100 us
  // (the thread was held up, and the moment is not known well enough).
  bool delayAt(snd_pcm_sframes_t& delay, std::int64_t& nanoseconds) const;
  AlsaCheck& check() noexcept { return check_; }
  const AlsaCheck& check() const noexcept { return check_; }

 private:
  snd_pcm_t* pcm_ = nullptr;
  snd_pcm_stream_t stream_ = SND_PCM_STREAM_PLAYBACK;
  std::vector<pollfd> fds_;  // the PCM's descriptors, then the waker's
  int pcmFds_ = 0;
  int periodMs_ = 0;
  AlsaCheck check_;
};

}  // namespace platform::alsa
