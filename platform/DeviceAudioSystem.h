// The wave-input calls implemented once over WaveInDevice: handle checks,
// format checks, error texts with the back-end's reason. A back-end supplies
// its devices' count, capabilities and frame sources.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/AudioSystem.h"
#include "platform/CaptureSource.h"

namespace platform {

class DeviceAudioSystem : public AudioSystem {
 public:
  ~DeviceAudioSystem() override;

  MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                      DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInStart(HWAVEIN handle) override;
  MMRESULT waveInStop(HWAVEIN handle) override;
  MMRESULT waveInReset(HWAVEIN handle) override;
  MMRESULT waveInClose(HWAVEIN handle) override;
  MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) override;

  // Is this the handle of a device open here?
  bool isOpen(HWAVEIN handle) const { return open_.count(handle) != 0; }

  // The format is one the devices can be asked for: PCM, 1 or 2 channels,
  // 8 or 16 bits, a rate above 0 and consistent block align and byte rate.
  static bool ValidPcmFormat(const WAVEFORMATEX& format);

 protected:
  // Opens the frame source of a device (WAVE_MAPPER: the default) for the
  // format, which is valid. A non-zero result is what waveInOpen returns;
  // the back-end may name its reason with reason().
  virtual MMRESULT openCaptureSource(UINT deviceId, const WAVEFORMATEX& format,
                                     std::unique_ptr<CaptureSource>& source) = 0;

  // Records the back-end's reason for the failure it is about to return; the
  // text of that code then carries it until the code fails again.
  MMRESULT reason(MMRESULT code, std::string why);

 private:
  MMRESULT result(MMRESULT code, WaveInDevice* device);

  std::set<HWAVEIN> open_;
  std::map<MMRESULT, std::string> reasons_;
};

}  // namespace platform
