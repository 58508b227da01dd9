// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/DeviceAudioSystem.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/BoundedCall.h"
#include "platform/ResultCodes.h"
#include "platform/StartThread.h"
#include "platform/WaveInDevice.h"
#include "platform/WaveOutDevice.h"

namespace platform {

DeviceAudioSystem::~DeviceAudioSystem() {
  // Devices left open by a careless owner: stop their threads.
  for (HWAVEIN h : open_) {
    h->forceClose();
    release(h);
  }
  for (HWAVEOUT h : openOut_) {
    h->forceClose();
    release(h);
  }
  for (HMIXER m : openMixers_) closeMixer(m);
}

// Silenced at once; a read of it that was given up on ends, then its event
// thread, and it is deleted within the bound, or later, by itself, when the
// back-end lets go.
void DeviceAudioSystem::closeMixer(HMIXER m) {
  m->silence();
  auto finish = [m] {
    m->reads().waitIdle();
    m->stop();
    delete m;
  };
  switch (BoundedLane().run(kDeviceAnswerLimit, finish)) {
    case BoundedLane::Outcome::GaveUp:
      ++abandoned_;
      break;
    case BoundedLane::Outcome::NoThread:
      finish();  // no thread to spare: it ends here
      break;
    default:
      break;
  }
}

void DeviceAudioSystem::release(WaveDevice* device) {
  countAbandoned(device);
  WaveDevice::Release(device);
}

void DeviceAudioSystem::countAbandoned(WaveDevice* device) {
  if (device->newlyAbandoned()) ++abandoned_;
}

MMRESULT DeviceAudioSystem::bounded(BoundedLane& lane, std::function<MMRESULT(std::string& why)> call,
                                    std::function<void()> late, bool counts) {
  // Shared with the call's thread, which may outlive this call.
  struct Result {
    MMRESULT code = MMSYSERR_NOERROR;
    std::string why;
  };
  auto result = std::make_shared<Result>();
  switch (lane.run(
      kDeviceAnswerLimit, [result, call = std::move(call)] { result->code = call(result->why); }, std::move(late))) {
    case BoundedLane::Outcome::Done:
      return result->code == MMSYSERR_NOERROR ? MMSYSERR_NOERROR : reason(result->code, std::move(result->why));
    case BoundedLane::Outcome::GaveUp:
      if (counts) ++abandoned_;
      return reason(MMSYSERR_NODRIVER, NoAnswerReason());
    case BoundedLane::Outcome::Busy:
      return reason(MMSYSERR_NODRIVER, NoAnswerReason());
    case BoundedLane::Outcome::NoThread:
      break;
  }
  return reason(MMSYSERR_NOMEM, NoThreadReason());
}

template <typename T>
MMRESULT DeviceAudioSystem::openWithin(BoundedLane& lane, Opener<T> opener, std::unique_ptr<T>& opened) {
  auto made = std::make_shared<std::unique_ptr<T>>();
  const MMRESULT rc = bounded(
      lane, [made, opener = std::move(opener)](std::string& why) { return opener(*made, why); },
      [made] { made->reset(); }, true);
  if (rc == MMSYSERR_NOERROR) opened = std::move(*made);
  return rc;
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

// A failure the device itself reports (its source or sink failed) carries
// the device's reason; any other has none. A call may have given up on the
// device: it counts from then on.
template <typename Device>
MMRESULT DeviceAudioSystem::result(MMRESULT code, Device* device) {
  countAbandoned(device);
  if (code == MMSYSERR_NOERROR) return code;
  return reason(code, code == device->failure() ? device->failureDetail() : std::string());
}

namespace {

void CopyName(const std::string& from, char* to, std::size_t size) {
  const std::size_t n = std::min(from.size(), size - 1);
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

}  // namespace

template <typename Caps>
MMRESULT DeviceAudioSystem::devCaps(Direction direction, UINT deviceId, Caps* caps, UINT size) {
  if (caps == nullptr || size != sizeof(Caps)) return reason(MMSYSERR_INVALPARAM, {});
  WaveDeviceInfo info;
  if (!describeWaveDevice(direction, deviceId, info)) return reason(MMSYSERR_BADDEVICEID, {});
  *caps = Caps{};
  caps->vDriverVersion = info.driverVersion;
  CopyName(info.name, caps->szPname, sizeof caps->szPname);
  caps->dwFormats = info.formats;
  caps->wChannels = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT DeviceAudioSystem::waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) {
  return devCaps(Direction::In, deviceId, caps, size);
}

MMRESULT DeviceAudioSystem::waveOutGetDevCapsA(UINT deviceId, WAVEOUTCAPSA* caps, UINT size) {
  return devCaps(Direction::Out, deviceId, caps, size);
}

MMRESULT DeviceAudioSystem::checkOpen(bool haveHandle, UINT deviceId, UINT devices, const WAVEFORMATEX* format,
                                      DWORD_PTR callback, DWORD flags) {
  if (!haveHandle && !(flags & WAVE_FORMAT_QUERY)) return reason(MMSYSERR_INVALPARAM, {});
  if (format == nullptr) return reason(MMSYSERR_INVALPARAM, {});
  if (deviceId != WAVE_MAPPER && deviceId >= devices) return reason(MMSYSERR_BADDEVICEID, {});
  const DWORD type = flags & CALLBACK_TYPEMASK;
  if (type != CALLBACK_NULL && type != CALLBACK_FUNCTION && type != CALLBACK_WINDOW)
    return reason(MMSYSERR_INVALFLAG, {});
  if (type != CALLBACK_NULL && callback == 0) return reason(MMSYSERR_INVALPARAM, {});
  if (!ValidPcmFormat(*format)) return reason(WAVERR_BADFORMAT, {});
  return MMSYSERR_NOERROR;
}

MMRESULT DeviceAudioSystem::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                       DWORD_PTR instance, DWORD flags) {
  const UINT devices = deviceId == WAVE_MAPPER ? 0 : waveInGetNumDevs();
  if (const MMRESULT rc = checkOpen(handle != nullptr, deviceId, devices, format, callback, flags)) return rc;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;

  std::unique_ptr<CaptureSource> source;
  if (const MMRESULT rc = openWithin(captureOpens_, captureOpener(deviceId, *format), source); rc != MMSYSERR_NOERROR)
    return rc;
  auto device = std::make_unique<WaveInDevice>(std::move(source), *format, callback, instance, flags);
  if (std::string why; const MMRESULT rc = device->open(why)) return reason(rc, std::move(why));
  *handle = device.release();
  open_.insert(*handle);
  return MMSYSERR_NOERROR;
}

#define QUORVEL_CHECK_HANDLE(h) \
  if (!isOpen(h)) return reason(MMSYSERR_INVALHANDLE, {})

MMRESULT DeviceAudioSystem::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                        DWORD_PTR instance, DWORD flags) {
  const UINT devices = deviceId == WAVE_MAPPER ? 0 : waveOutGetNumDevs();
  if (const MMRESULT rc = checkOpen(handle != nullptr, deviceId, devices, format, callback, flags)) return rc;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;

  std::unique_ptr<PlaybackSink> sink;
  if (const MMRESULT rc = openWithin(playbackOpens_, playbackOpener(deviceId, *format), sink); rc != MMSYSERR_NOERROR)
    return rc;
  auto device = std::make_unique<WaveOutDevice>(std::move(sink), *format, callback, instance, flags);
  if (std::string why; const MMRESULT rc = device->open(why)) return reason(rc, std::move(why));
  *handle = device.release();
  openOut_.insert(*handle);
  return MMSYSERR_NOERROR;
}

MMRESULT DeviceAudioSystem::waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->prepare(header, size), h);
}

MMRESULT DeviceAudioSystem::waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->unprepare(header, size), h);
}

MMRESULT DeviceAudioSystem::waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT size) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->write(header, size), h);
}

MMRESULT DeviceAudioSystem::waveOutReset(HWAVEOUT h) {
  QUORVEL_CHECK_HANDLE(h);
  return result(h->reset(), h);
}

MMRESULT DeviceAudioSystem::waveOutClose(HWAVEOUT h) {
  QUORVEL_CHECK_HANDLE(h);
  const MMRESULT rc = h->close();
  if (rc != MMSYSERR_NOERROR) return result(rc, h);
  openOut_.erase(h);
  release(h);
  return MMSYSERR_NOERROR;
}

void DeviceAudioSystem::waveOutForceClose(HWAVEOUT h) {
  if (openOut_.erase(h) == 0) return;
  h->forceClose();
  release(h);
}

MMRESULT DeviceAudioSystem::waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) {
  return DeviceAudioSystem::waveInGetErrorTextA(code, text, cch);
}

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

MMRESULT DeviceAudioSystem::waveInGetStamp(HWAVEIN h, WAVESTAMP* stamp) {
  // From the device's own notification its handle is open, and the table of
  // open handles is the owner's thread's to read.
  if (!WaveDevice::OnOwnThread(h)) {
    QUORVEL_CHECK_HANDLE(h);
  }
  if (stamp == nullptr) return MMSYSERR_INVALPARAM;
  return h->readStamp(*stamp) ? MMSYSERR_NOERROR : MMSYSERR_NOTSUPPORTED;
}

MMRESULT DeviceAudioSystem::waveOutGetStamp(HWAVEOUT h, WAVESTAMP* stamp) {
  QUORVEL_CHECK_HANDLE(h);
  if (stamp == nullptr) return MMSYSERR_INVALPARAM;
  return h->readStamp(*stamp) ? MMSYSERR_NOERROR : MMSYSERR_NOTSUPPORTED;
}

MMRESULT DeviceAudioSystem::waveInClose(HWAVEIN h) {
  QUORVEL_CHECK_HANDLE(h);
  const MMRESULT rc = h->close();
  if (rc != MMSYSERR_NOERROR) return result(rc, h);
  open_.erase(h);
  release(h);
  return MMSYSERR_NOERROR;
}

void DeviceAudioSystem::waveInForceClose(HWAVEIN h) {
  if (open_.erase(h) == 0) return;
  h->forceClose();
  release(h);
}

// --- Mixers ---------------------------------------------------------------

namespace {

// The line with this ID, or null; `d` and `s` say where it is (s: -1 for a
// destination).
const MixerLineInfo* FindLine(const MixerDescription& m, DWORD lineId, DWORD& d, long& s) {
  d = lineId & 0xFFFF;
  if (d >= m.destinations.size()) return nullptr;
  const DWORD source = lineId >> 16;
  if (source == 0) {
    s = -1;
    return &m.destinations[d].line;
  }
  if (source > m.destinations[d].sources.size()) return nullptr;
  s = static_cast<long>(source) - 1;
  return &m.destinations[d].sources[source - 1];
}

const MixerControlInfo* FindControl(const MixerDescription& m, DWORD controlId, const MixerLineInfo** owner) {
  auto inLine = [&](const MixerLineInfo& line) -> const MixerControlInfo* {
    for (const MixerControlInfo& c : line.controls)
      if (c.id == controlId) {
        *owner = &line;
        return &c;
      }
    return nullptr;
  };
  for (const MixerDestinationInfo& dest : m.destinations) {
    if (const MixerControlInfo* c = inLine(dest.line)) return c;
    for (const MixerLineInfo& src : dest.sources)
      if (const MixerControlInfo* c = inLine(src)) return c;
  }
  return nullptr;
}

void FillControl(const MixerControlInfo& c, MIXERCONTROLA& out) {
  out = MIXERCONTROLA{};
  out.cbStruct = sizeof(MIXERCONTROLA);
  out.dwControlID = c.id;
  out.dwControlType = c.type;
  out.fdwControl = 0;
  CopyName(c.shortName, out.szShortName, sizeof out.szShortName);
  CopyName(c.name, out.szName, sizeof out.szName);
  out.Bounds.dwMinimum = c.minimum;
  out.Bounds.dwMaximum = c.maximum;
  out.Metrics.cSteps = c.steps;
}

}  // namespace

MMRESULT DeviceAudioSystem::mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) {
  if (caps == nullptr || size != sizeof(MIXERCAPSA)) return reason(MMSYSERR_INVALPARAM, {});
  if (deviceId >= mixerGetNumDevs()) return reason(MMSYSERR_BADDEVICEID, {});
  // Opened, read and closed on a thread of its own: the close may wait for a
  // sound server too.
  struct Summary {
    std::string name;
    DWORD destinations = 0;
  };
  auto summary = std::make_shared<Summary>();
  const auto describe = [summary, opener = mixerOpener(deviceId)](std::string& why) {
    std::unique_ptr<MixerDevice> mixer;
    const MMRESULT rc = opener(mixer, why);
    if (rc == MMSYSERR_NOERROR) {
      summary->name = mixer->description().name;
      summary->destinations = static_cast<DWORD>(mixer->description().destinations.size());
    }
    return rc;
  };
  if (const MMRESULT rc = bounded(mixerOpens_, describe, {}, true); rc != MMSYSERR_NOERROR) return rc;
  *caps = MIXERCAPSA{};
  CopyName(summary->name, caps->szPname, sizeof caps->szPname);
  caps->cDestinations = summary->destinations;
  return MMSYSERR_NOERROR;
}

MMRESULT DeviceAudioSystem::mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
  if (handle == nullptr) return reason(MMSYSERR_INVALPARAM, {});
  const DWORD type = flags & CALLBACK_TYPEMASK;
  if (type != CALLBACK_NULL && type != CALLBACK_WINDOW) return reason(MMSYSERR_INVALFLAG, {});
  if (type == CALLBACK_WINDOW && callback == 0) return reason(MMSYSERR_INVALPARAM, {});
  if (deviceId >= mixerGetNumDevs()) return reason(MMSYSERR_BADDEVICEID, {});
  std::unique_ptr<MixerDevice> mixer;
  if (const MMRESULT rc = openWithin(mixerOpens_, mixerOpener(deviceId), mixer); rc != MMSYSERR_NOERROR) return rc;
  HMIXER h = mixer.release();
  if (!h->start(type == CALLBACK_WINDOW ? reinterpret_cast<HWND>(callback) : nullptr, h)) {
    closeMixer(h);
    return reason(MMSYSERR_NOMEM, NoThreadReason());
  }
  openMixers_.insert(h);
  *handle = h;
  return MMSYSERR_NOERROR;
}

MMRESULT DeviceAudioSystem::mixerGetLineInfoA(HMIXER h, MIXERLINEA* line, DWORD flags) {
  QUORVEL_CHECK_HANDLE(h);
  if (line == nullptr || line->cbStruct != sizeof(MIXERLINEA)) return reason(MMSYSERR_INVALPARAM, {});
  const MixerDescription& m = h->description();
  DWORD d = 0;
  long s = -1;
  const MixerLineInfo* info = nullptr;
  switch (flags & MIXER_GETLINEINFOF_QUERYMASK) {
    case MIXER_GETLINEINFOF_DESTINATION:
      d = line->dwDestination;
      if (d < m.destinations.size()) info = &m.destinations[d].line;
      break;
    case MIXER_GETLINEINFOF_SOURCE:
      d = line->dwDestination;
      if (d < m.destinations.size() && line->dwSource < m.destinations[d].sources.size()) {
        s = static_cast<long>(line->dwSource);
        info = &m.destinations[d].sources[line->dwSource];
      }
      break;
    case MIXER_GETLINEINFOF_LINEID:
      info = FindLine(m, line->dwLineID, d, s);
      break;
    default:
      return reason(MMSYSERR_INVALFLAG, {});
  }
  if (info == nullptr) return reason(MIXERR_INVALLINE, {});

  const DWORD size = line->cbStruct;
  *line = MIXERLINEA{};
  line->cbStruct = size;
  line->dwDestination = d;
  line->dwSource = s < 0 ? 0 : static_cast<DWORD>(s);
  line->dwLineID = s < 0 ? MixerDevice::DestinationLineId(d) : MixerDevice::SourceLineId(d, static_cast<DWORD>(s));
  line->fdwLine = (info->active ? MIXERLINE_LINEF_ACTIVE : 0) | (s < 0 ? 0 : MIXERLINE_LINEF_SOURCE);
  line->dwComponentType = info->componentType;
  line->cChannels = info->channels;
  line->cConnections = s < 0 ? static_cast<DWORD>(m.destinations[d].sources.size()) : 0;
  line->cControls = static_cast<DWORD>(info->controls.size());
  CopyName(info->shortName, line->szShortName, sizeof line->szShortName);
  CopyName(info->name, line->szName, sizeof line->szName);
  CopyName(m.name, line->Target.szPname, sizeof line->Target.szPname);
  return MMSYSERR_NOERROR;
}

MMRESULT DeviceAudioSystem::mixerGetLineControlsA(HMIXER h, MIXERLINECONTROLSA* controls, DWORD flags) {
  QUORVEL_CHECK_HANDLE(h);
  if (controls == nullptr || controls->cbStruct != sizeof(MIXERLINECONTROLSA) ||
      controls->cbmxctrl != sizeof(MIXERCONTROLA) || controls->pamxctrl == nullptr)
    return reason(MMSYSERR_INVALPARAM, {});
  const MixerDescription& m = h->description();
  switch (flags & MIXER_GETLINECONTROLSF_QUERYMASK) {
    case MIXER_GETLINECONTROLSF_ALL: {
      DWORD d = 0;
      long s = -1;
      const MixerLineInfo* line = FindLine(m, controls->dwLineID, d, s);
      if (line == nullptr) return reason(MIXERR_INVALLINE, {});
      // The caller's block has room for exactly the line's controls.
      if (controls->cControls != line->controls.size() || line->controls.empty())
        return reason(MMSYSERR_INVALPARAM, {});
      for (std::size_t i = 0; i < line->controls.size(); ++i) FillControl(line->controls[i], controls->pamxctrl[i]);
      return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYID: {
      const MixerLineInfo* owner = nullptr;
      const MixerControlInfo* c = FindControl(m, controls->dwControlID, &owner);
      if (c == nullptr) return reason(MIXERR_INVALCONTROL, {});
      FillControl(*c, controls->pamxctrl[0]);
      return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYTYPE: {
      DWORD d = 0;
      long s = -1;
      const MixerLineInfo* line = FindLine(m, controls->dwLineID, d, s);
      if (line == nullptr) return reason(MIXERR_INVALLINE, {});
      for (const MixerControlInfo& c : line->controls)
        if (c.type == controls->dwControlType) {
          FillControl(c, controls->pamxctrl[0]);
          return MMSYSERR_NOERROR;
        }
      return reason(MIXERR_INVALCONTROL, {});
    }
    default:
      return reason(MMSYSERR_INVALFLAG, {});
  }
}

MMRESULT DeviceAudioSystem::mixerGetControlDetailsA(HMIXER h, MIXERCONTROLDETAILS* details, DWORD flags) {
  QUORVEL_CHECK_HANDLE(h);
  if (details == nullptr || details->cbStruct != sizeof(MIXERCONTROLDETAILS) || details->paDetails == nullptr ||
      details->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED) || details->cMultipleItems != 0)
    return reason(MMSYSERR_INVALPARAM, {});
  if ((flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) != MIXER_GETCONTROLDETAILSF_VALUE)
    return reason(MMSYSERR_INVALFLAG, {});
  const MixerLineInfo* line = nullptr;
  if (FindControl(h->description(), details->dwControlID, &line) == nullptr) return reason(MIXERR_INVALCONTROL, {});
  // One value for all channels, or one per channel of the line.
  if (details->cChannels != 1 && details->cChannels != line->channels) return reason(MMSYSERR_INVALPARAM, {});
  // Read on a thread of its own (the values may come from a sound server),
  // into a buffer of the read's own: one given up on may come back later.
  auto values = std::make_shared<std::vector<DWORD>>(details->cChannels);
  const auto read = [h, values, id = details->dwControlID](std::string& why) {
    const MMRESULT rc = h->readValues(id, static_cast<DWORD>(values->size()), values->data());
    if (rc != MMSYSERR_NOERROR) why = h->failureDetail();
    return rc;
  };
  const MMRESULT rc = bounded(h->reads(), read, {}, false);
  if (rc == MMSYSERR_NOERROR) std::copy(values->begin(), values->end(), static_cast<DWORD*>(details->paDetails));
  return rc;
}

MMRESULT DeviceAudioSystem::mixerClose(HMIXER h) {
  QUORVEL_CHECK_HANDLE(h);
  openMixers_.erase(h);
  closeMixer(h);
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
