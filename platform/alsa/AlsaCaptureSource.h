// Frames from an ALSA capture PCM, for one open wave-input device.
//
// The PCM runs in non-blocking mode; read() sleeps in poll() on the PCM's
// descriptors and the device's waker, so that a reset or close wakes it at
// once, and it never blocks in snd_pcm_readi.
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
// for several seconds, so that the owner never waits for ever; a PCM that
// overruns again at once after every restart delivers nothing.
//
// The read path allocates nothing and takes no lock.
#pragma once

#include <alsa/asoundlib.h>
#include <poll.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/CaptureSource.h"
#include "platform/alsa/AlsaCheck.h"

namespace platform::alsa {

class AlsaCaptureSource final : public CaptureSource {
 public:
  // Opens `pcm` for capture in the format (valid PCM, checked by the
  // caller). Non-zero: the code waveInOpen reports, with ALSA's reason in
  // `why`. `numbered`: the PCM is one of the listed devices, so that a PCM
  // that is gone means a wrong device number rather than no driver.
  static MMRESULT Open(const std::string& pcm, bool numbered, const WAVEFORMATEX& format,
                       std::unique_ptr<AlsaCaptureSource>& source, std::string& why);

  ~AlsaCaptureSource() override;
  AlsaCaptureSource(const AlsaCaptureSource&) = delete;
  AlsaCaptureSource& operator=(const AlsaCaptureSource&) = delete;

  MMRESULT start() override;
  void stop() override;
  ReadResult read(BYTE* dst, std::size_t frames, Waker& waker) override;
  std::string failureDetail() const override { return check_.detail(); }
  std::size_t overruns() const noexcept override { return overruns_.load(std::memory_order_relaxed); }

  // The period the PCM runs with now, in frames.
  snd_pcm_uframes_t periodFrames() const noexcept { return period_; }

 private:
  AlsaCaptureSource(snd_pcm_t* pcm, const WAVEFORMATEX& format);

  // Sets the hardware parameters for buffers of `frames` frames (short
  // periods, a ring of four buffers); leaves the PCM prepared. A failed
  // check says why.
  bool configure(snd_pcm_uframes_t frames);
  // Refits the periods to buffers of `frames` and restarts capture.
  bool refit(snd_pcm_uframes_t frames);

  // How a wait or a recovery ended: go on reading, the waker fired, or the
  // PCM failed (check_ says why).
  enum class Step { Again, Woken, Failed };
  // Brings the PCM back after an overrun (-EPIPE) or a suspend (-ESTRPIPE).
  Step recover(long error, Waker& waker);
  // Sleeps until the PCM has frames or the waker fires; adds the time
  // slept without any sign of the PCM to stalledMs.
  Step sleep(Waker& waker, int& stalledMs);

  snd_pcm_t* pcm_;
  const WAVEFORMATEX format_;
  snd_pcm_uframes_t period_ = 0;
  int periodMs_ = 0;                // the period's length, rounded up
  snd_pcm_uframes_t fittedTo_ = 0;  // the buffer size the periods were fitted to
  bool fresh_ = false;              // nothing read yet in this capture run
  std::vector<pollfd> fds_;         // the PCM's descriptors, then the waker's
  int pcmFds_ = 0;
  std::atomic<std::size_t> overruns_{0};
  AlsaCheck check_;
};

}  // namespace platform::alsa
