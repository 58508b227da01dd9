// Frames from an ALSA capture PCM. The PCM is non-blocking and the device
// thread sleeps in poll() on its descriptors and the device's Waker, so a
// reset or close wakes it at once. Overruns are recovered and counted;
// any other read error (the device or the sound server went away) fails the
// source with MMSYSERR_NODRIVER and ALSA's reason.
#pragma once

#include <alsa/asoundlib.h>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/CaptureSource.h"

namespace platform::alsa {

class AlsaCaptureSource : public CaptureSource {
 public:
  // Opens and configures the PCM; on failure returns the code and sets why.
  static MMRESULT Open(const std::string& pcm, const WAVEFORMATEX& format, std::unique_ptr<CaptureSource>& out,
                       std::string& why);
  ~AlsaCaptureSource() override;

  MMRESULT start() override;
  void stop() override;
  ReadResult read(BYTE* dst, std::size_t frames, Waker& waker) override;
  std::string failureDetail() const override { return detail_; }
  std::size_t overruns() const noexcept override { return overruns_.load(std::memory_order_relaxed); }

 private:
  AlsaCaptureSource(snd_pcm_t* pcm, std::size_t frameBytes);
  bool recover(int err);
  ReadResult failed(const char* what, int err);

  snd_pcm_t* pcm_;
  std::size_t frameBytes_;
  std::vector<pollfd> fds_;  // the PCM's descriptors, then the waker's
  bool running_ = false;
  std::string detail_;
  std::atomic<std::size_t> overruns_{0};
};

}  // namespace platform::alsa
