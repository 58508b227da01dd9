#include "platform/DeviceAudioSystem.h"

#include <string>

#include "platform/ResultCodes.h"
#include "platform/WaveInDevice.h"

namespace platform {

DeviceAudioSystem::~DeviceAudioSystem() {
  // Devices left open by a careless owner: stop their threads.
  for (HWAVEIN h : open_) delete h;
}

bool DeviceAudioSystem::ValidPcmFormat(const WAVEFORMATEX& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f.nChannels != 1 && f.nChannels != 2) return false;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
  if (f.nSamplesPerSec == 0) return false;
  if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return false;
  return f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

MMRESULT DeviceAudioSystem::reason(MMRESULT code, std::string why) {
  reasons_[code] = std::move(why);
  return code;
}

// A failure the device itself reports (its source failed) carries the
// source's reason.
MMRESULT DeviceAudioSystem::result(MMRESULT code, WaveInDevice* device) {
  if (code != MMSYSERR_NOERROR && code == device->failure()) return reason(code, device->failureDetail());
  return code;
}

MMRESULT DeviceAudioSystem::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format,
                                       DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
  if (handle == nullptr && !(flags & WAVE_FORMAT_QUERY)) return reason(MMSYSERR_INVALPARAM, {});
  if (format == nullptr) return reason(MMSYSERR_INVALPARAM, {});
  if (deviceId != WAVE_MAPPER && deviceId >= waveInGetNumDevs()) return reason(MMSYSERR_BADDEVICEID, {});
  const DWORD type = flags & CALLBACK_TYPEMASK;
  if (type != CALLBACK_NULL && type != CALLBACK_FUNCTION && type != CALLBACK_WINDOW)
    return reason(MMSYSERR_INVALFLAG, {});
  if (type != CALLBACK_NULL && callback == 0) return reason(MMSYSERR_INVALPARAM, {});
  if (!ValidPcmFormat(*format)) return reason(WAVERR_BADFORMAT, {});
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;

  std::unique_ptr<CaptureSource> source;
  if (const MMRESULT rc = openCaptureSource(deviceId, *format, source); rc != MMSYSERR_NOERROR) return rc;
  auto device = std::make_unique<WaveInDevice>(std::move(source), *format, callback, instance, flags);
  if (const MMRESULT rc = device->open(); rc != MMSYSERR_NOERROR) return reason(rc, {});
  *handle = device.release();
  open_.insert(*handle);
  return MMSYSERR_NOERROR;
}

#define QUORVEL_CHECK_HANDLE(h) \
  if (!isOpen(h)) return reason(MMSYSERR_INVALHANDLE, {})

MMRESULT DeviceAudioSystem::waveInPrepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->prepare(header, size), h);
}

MMRESULT DeviceAudioSystem::waveInUnprepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->unprepare(header, size), h);
}

MMRESULT DeviceAudioSystem::waveInAddBuffer(HWAVEIN h, WAVEHDR* header, UINT size) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->add(header, size), h);
}

MMRESULT DeviceAudioSystem::waveInStart(HWAVEIN h) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->start(), h);
}

MMRESULT DeviceAudioSystem::waveInStop(HWAVEIN h) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->stop(), h);
}

MMRESULT DeviceAudioSystem::waveInReset(HWAVEIN h) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->reset(), h);
}

MMRESULT DeviceAudioSystem::waveInClose(HWAVEIN h) {
  QUORVEL_CHECK_HANDLE(h);
  const MMRESULT rc = h->close();
  if (rc != MMSYSERR_NOERROR) return result(rc, h);
  open_.erase(h);
  delete h;
  return MMSYSERR_NOERROR;
}

#undef QUORVEL_CHECK_HANDLE

MMRESULT DeviceAudioSystem::waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) {
  const std::string_view base = ResultText(code);
  if (base.empty()) {
    CopyErrorText({}, text, cch);
    return MMSYSERR_BADERRNUM;
  }
  std::string full(base);
  if (auto it = reasons_.find(code); it != reasons_.end() && !it->second.empty()) full += " (" + it->second + ")";
  return CopyErrorText(full, text, cch);
}

}  // namespace platform
