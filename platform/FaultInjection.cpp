// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/FaultInjection.h"

#include <algorithm>

#include "platform/ResultCodes.h"

namespace platform {

void FaultInjection::failCall(AudioCall call, MMRESULT code, unsigned nth, bool persistent, std::string why) {
  const int i = static_cast<int>(call);
  faults_[i] = Fault{code, counts_[i] + std::max(nth, 1u), persistent, std::move(why)};
}

MMRESULT FaultInjection::injected(AudioCall call) {
  const int i = static_cast<int>(call);
  const unsigned n = ++counts_[i];
  const Fault& f = faults_[i];
  if (f.at == 0 || !(n == f.at || (f.persistent && n > f.at))) return MMSYSERR_NOERROR;
  if (call != AudioCall::waveInGetErrorTextA && call != AudioCall::waveOutGetErrorTextA) reasons_[f.code] = f.why;
  return f.code;
}

MMRESULT FaultInjection::passed(MMRESULT code) {
  if (code != MMSYSERR_NOERROR) reasons_.erase(code);
  return code;
}

template <typename Call>
MMRESULT FaultInjection::through(AudioCall call, Call&& forward) {
  if (const MMRESULT f = injected(call)) return f;
  return passed(forward());
}

MMRESULT FaultInjection::errorText(AudioCall call, MMRESULT code, char* text, UINT cch) {
  if (const MMRESULT f = injected(call)) {
    CopyErrorText({}, text, cch);
    return f;
  }
  const auto it = reasons_.find(code);
  const std::string_view base = ResultText(code);
  if (it == reasons_.end() || base.empty()) {
    return call == AudioCall::waveInGetErrorTextA ? system_.waveInGetErrorTextA(code, text, cch)
                                                  : system_.waveOutGetErrorTextA(code, text, cch);
  }
  std::string full(base);
  if (!it->second.empty()) full += " (" + it->second + ")";
  return CopyErrorText(full, text, cch);
}

UINT FaultInjection::waveInGetNumDevs() {
  return injected(AudioCall::waveInGetNumDevs) ? 0 : system_.waveInGetNumDevs();
}

MMRESULT FaultInjection::waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) {
  return through(AudioCall::waveInGetDevCapsA, [&] { return system_.waveInGetDevCapsA(deviceId, caps, size); });
}

MMRESULT FaultInjection::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                    DWORD_PTR instance, DWORD flags) {
  return through(AudioCall::waveInOpen,
                 [&] { return system_.waveInOpen(handle, deviceId, format, callback, instance, flags); });
}

MMRESULT FaultInjection::waveInPrepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
  return through(AudioCall::waveInPrepareHeader, [&] { return system_.waveInPrepareHeader(h, header, size); });
}

MMRESULT FaultInjection::waveInUnprepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
  return through(AudioCall::waveInUnprepareHeader, [&] { return system_.waveInUnprepareHeader(h, header, size); });
}

MMRESULT FaultInjection::waveInAddBuffer(HWAVEIN h, WAVEHDR* header, UINT size) {
  return through(AudioCall::waveInAddBuffer, [&] { return system_.waveInAddBuffer(h, header, size); });
}

MMRESULT FaultInjection::waveInStart(HWAVEIN h) {
  return through(AudioCall::waveInStart, [&] { return system_.waveInStart(h); });
}

MMRESULT FaultInjection::waveInStop(HWAVEIN h) {
  return through(AudioCall::waveInStop, [&] { return system_.waveInStop(h); });
}

MMRESULT FaultInjection::waveInReset(HWAVEIN h) {
  return through(AudioCall::waveInReset, [&] { return system_.waveInReset(h); });
}

MMRESULT FaultInjection::waveInClose(HWAVEIN h) {
  return through(AudioCall::waveInClose, [&] { return system_.waveInClose(h); });
}

MMRESULT FaultInjection::waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) {
  return errorText(AudioCall::waveInGetErrorTextA, code, text, cch);
}

UINT FaultInjection::waveOutGetNumDevs() {
  return injected(AudioCall::waveOutGetNumDevs) ? 0 : system_.waveOutGetNumDevs();
}

MMRESULT FaultInjection::waveOutGetDevCapsA(UINT deviceId, WAVEOUTCAPSA* caps, UINT size) {
  return through(AudioCall::waveOutGetDevCapsA, [&] { return system_.waveOutGetDevCapsA(deviceId, caps, size); });
}

MMRESULT FaultInjection::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                     DWORD_PTR instance, DWORD flags) {
  return through(AudioCall::waveOutOpen,
                 [&] { return system_.waveOutOpen(handle, deviceId, format, callback, instance, flags); });
}

MMRESULT FaultInjection::waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  return through(AudioCall::waveOutPrepareHeader, [&] { return system_.waveOutPrepareHeader(h, header, size); });
}

MMRESULT FaultInjection::waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  return through(AudioCall::waveOutUnprepareHeader, [&] { return system_.waveOutUnprepareHeader(h, header, size); });
}

MMRESULT FaultInjection::waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT size) {
  return through(AudioCall::waveOutWrite, [&] { return system_.waveOutWrite(h, header, size); });
}

MMRESULT FaultInjection::waveOutReset(HWAVEOUT h) {
  return through(AudioCall::waveOutReset, [&] { return system_.waveOutReset(h); });
}

MMRESULT FaultInjection::waveOutClose(HWAVEOUT h) {
  return through(AudioCall::waveOutClose, [&] { return system_.waveOutClose(h); });
}

MMRESULT FaultInjection::waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) {
  return errorText(AudioCall::waveOutGetErrorTextA, code, text, cch);
}

UINT FaultInjection::mixerGetNumDevs() { return injected(AudioCall::mixerGetNumDevs) ? 0 : system_.mixerGetNumDevs(); }

MMRESULT FaultInjection::mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) {
  return through(AudioCall::mixerGetDevCapsA, [&] { return system_.mixerGetDevCapsA(deviceId, caps, size); });
}

MMRESULT FaultInjection::mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
  return through(AudioCall::mixerOpen, [&] { return system_.mixerOpen(handle, deviceId, callback, instance, flags); });
}

MMRESULT FaultInjection::mixerGetLineInfoA(HMIXER h, MIXERLINEA* line, DWORD flags) {
  return through(AudioCall::mixerGetLineInfoA, [&] { return system_.mixerGetLineInfoA(h, line, flags); });
}

MMRESULT FaultInjection::mixerGetLineControlsA(HMIXER h, MIXERLINECONTROLSA* controls, DWORD flags) {
  return through(AudioCall::mixerGetLineControlsA, [&] { return system_.mixerGetLineControlsA(h, controls, flags); });
}

MMRESULT FaultInjection::mixerGetControlDetailsA(HMIXER h, MIXERCONTROLDETAILS* details, DWORD flags) {
  return through(AudioCall::mixerGetControlDetailsA,
                 [&] { return system_.mixerGetControlDetailsA(h, details, flags); });
}

MMRESULT FaultInjection::mixerClose(HMIXER h) {
  return through(AudioCall::mixerClose, [&] { return system_.mixerClose(h); });
}

}  // namespace platform
