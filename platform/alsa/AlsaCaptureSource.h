// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Frames from an ALSA capture PCM, for one open wave-input device.
//
// The PCM runs in non-blocking mode (AlsaPcm.h); read() sleeps in poll() on
// the PCM's descriptors and the device's waker, so that a reset or close
// wakes it at once, and it never blocks in snd_pcm_readi.
//
// Periods are short beside the device's buffers: the first read of a
// capture run asks for a whole buffer, and the PCM is set to periods of
// 10 ms, or a quarter of that buffer if shorter, where it allows, with a ring
// of four buffers. A sound server's ALSA plugin asks its server for data in
// fragments of one period (PulseAudio's fragsize, PipeWire's node latency)
// and makes the PCM readable once a whole period is there, so a buffer can
// only come when a period ends: the period bounds how late it comes. With
// periods as long as a buffer it would be worse on PulseAudio, whose
// hand-overs of such a period come a frame short of it: the PCM would become
// readable every second hand-over, and buffers would come in pairs.
//
// The plugins can leave their poll descriptor readable while less than a
// period is there; read() then waits a quarter period before it looks again
// instead of polling round and round.
//
// Overruns (the owner kept every buffer too long) and suspends are recovered
// from, counted and do not stop capture. Any other read error (the card was
// unplugged, the sound server went away) fails the device with
// MMSYSERR_NODRIVER and ALSA's reason, as does a PCM that delivers nothing
// for several seconds (AlsaPcm::kStall, by the clock), so that the owner
// never waits for ever; a PCM that overruns again at once after every
// restart delivers nothing.
//
// The read path allocates nothing and takes no lock.
#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <string>

#include "platform/CaptureSource.h"
#include "platform/alsa/AlsaPcm.h"

namespace platform::alsa {

class AlsaCaptureSource final : public CaptureSource {
 public:
  // Opens `pcm` for capture in the format (valid PCM, checked by the
  // caller). Non-zero: the code waveInOpen reports (AlsaPcm::open), with
  // ALSA's reason in `why`.
  MMRESULT open(const std::string& pcm, bool numbered, const WAVEFORMATEX& format, std::string& why);

  MMRESULT start() override;
  void stop() override;
  ReadResult read(BYTE* dst, std::size_t frames, Waker& waker) override;
  std::string failureDetail() const override { return pcm_.check().detail(); }
  std::size_t overruns() const noexcept override { return overruns_.load(std::memory_order_relaxed); }
  // The frames read so far and those the device holds for reading, now.
  bool stamp(WAVESTAMP& stamp) override;

  // The period the PCM runs with now, in frames.
  snd_pcm_uframes_t periodFrames() const noexcept { return period_; }

 private:
  // Sets the parameters for buffers of `frames` frames (short periods, a
  // ring of four buffers); leaves the PCM prepared. A failed check says why.
  bool configure(snd_pcm_uframes_t frames);
  // Refits the periods to buffers of `frames` and restarts capture.
  bool refit(snd_pcm_uframes_t frames);

  using Step = AlsaPcm::Step;
  // Sleeps until the PCM may have frames or the waker fires.
  Step sleep(Waker& waker);

  AlsaPcm pcm_;
  WAVEFORMATEX format_{};
  snd_pcm_uframes_t period_ = 0;
  snd_pcm_uframes_t fittedTo_ = 0;  // the buffer size the periods were fitted to
  bool fresh_ = false;              // nothing read yet in this capture run
  std::atomic<std::size_t> overruns_{0};
  std::uint64_t framesRead_ = 0;  // since the open
};

}  // namespace platform::alsa
