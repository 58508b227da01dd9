// The ALSA back-end. WAVE_MAPPER is ALSA's `default` device (on a desktop,
// the sound server). Devices 0..n-1 are each card's capture PCM devices in
// card and device order, opened as plughw so that ALSA converts the format;
// on a machine without cards but with a usable `default`, device 0 is that
// one, so that a sound server alone still counts as a device.
//
// ALSA's own diagnostics are kept off the terminal: a silent error handler is
// installed once for the process, and the reason of a failure goes into the
// error text of the code instead.
#pragma once

#include <string>
#include <vector>

#include "platform/DeviceAudioSystem.h"

namespace platform::alsa {

class AlsaAudioSystem : public DeviceAudioSystem {
 public:
  AlsaAudioSystem();

  UINT waveInGetNumDevs() override;
  UINT waveOutGetNumDevs() override;
  MMRESULT waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) override;

 protected:
  MMRESULT openCaptureSource(UINT deviceId, const WAVEFORMATEX& format,
                             std::unique_ptr<CaptureSource>& source) override;

 private:
  struct Device {
    std::string pcm;   // ALSA name to open
    std::string name;  // what a user reads
  };
  // Enumerated at each call, so that a device plugged in later shows.
  std::vector<Device> devices(bool capture) const;
};

}  // namespace platform::alsa
