// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Frames to an ALSA playback PCM, for one open wave-output device.
//
// The PCM runs in non-blocking mode (AlsaPcm.h); write() sleeps in poll()
// on the PCM's descriptors and the device's waker, so that a reset or close
// wakes it at once, and it never blocks in snd_pcm_writei. The ring is small, four
// periods of about 20 ms: through a sound server it is also the latency the
// stream asks for, and a long one starts the sound late and, on a null
// sink's monitor, loses about as much of its start. The stream starts once
// the ring is full, or in drain() when less than that was written.
//
// Underruns (the owner was too slow with the next header) and suspends are
// recovered from and do not stop playback; underruns are counted. A ring
// that ran dry after the last write is the natural end of the data, which
// only drain() or the next write can tell: only an underrun met by a write
// counts. Any other error (the card was unplugged, the sound server went
// away) fails the device with MMSYSERR_NODRIVER and ALSA's reason, as does
// a PCM that takes nothing for several seconds, so that the owner never
// waits for ever; a PCM that underruns again at once after every restart
// takes nothing.
//
// drain() follows the PCM's delay until what was written has played, for
// at most the ring's time and a second, then drops the PCM; it never calls
// snd_pcm_drain, which on a non-blocking PCM only begins and which a dead
// server may never finish.
//
// The write path allocates nothing and takes no lock of ours.
#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <string>

#include "platform/PlaybackSink.h"
#include "platform/alsa/AlsaPcm.h"

namespace platform::alsa {

class AlsaPlaybackSink final : public PlaybackSink {
 public:
  // Opens `pcm` for playback in the format (valid PCM, checked by the
  // caller). Non-zero: the code waveOutOpen reports (AlsaPcm::open), with
  // ALSA's reason in `why`.
  MMRESULT open(const std::string& pcm, bool numbered, const WAVEFORMATEX& format, std::string& why);

  WriteResult write(const BYTE* src, std::size_t frames, Waker& waker) override;
  void drain() override;
  void discard() override;
  std::string failureDetail() const override { return pcm_.check().detail(); }
  std::size_t underruns() const noexcept override { return underruns_.load(std::memory_order_relaxed); }
  // The frames written so far less those still to be heard, now.
  bool stamp(WAVESTAMP& stamp) override;

  // The ring the PCM runs with, in frames.
  snd_pcm_uframes_t periodFrames() const noexcept { return period_; }
  snd_pcm_uframes_t bufferFrames() const noexcept { return buffer_; }

 private:
  // Sets the parameters (the ring above); leaves the PCM prepared. A failed
  // check says why.
  bool configure();

  using Step = AlsaPcm::Step;
  // Sleeps until the PCM may have room or the waker fires.
  Step sleep(Waker& waker);

  AlsaPcm pcm_;
  WAVEFORMATEX format_{};
  snd_pcm_uframes_t period_ = 0;
  snd_pcm_uframes_t buffer_ = 0;
  std::atomic<std::size_t> underruns_{0};
  std::uint64_t framesWritten_ = 0;  // since the open
};

}  // namespace platform::alsa
