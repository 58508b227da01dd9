#include "platform/sim/SimAudioSystem.h"

#include <cstring>

#include "platform/ResultCodes.h"
#include "platform/sim/SimCaptureSource.h"

namespace platform::sim {

SimAudioSystem::SimAudioSystem() : state_(std::make_shared<State>()) {}
SimAudioSystem::~SimAudioSystem() = default;

void SimAudioSystem::release(std::uint64_t frames) {
  state_->available.fetch_add(frames, std::memory_order_acq_rel);
  state_->released.wake();
}

void SimAudioSystem::shortNextBuffer(DWORD bytes) {
  state_->shortBytes.store(bytes, std::memory_order_release);
  state_->released.wake();
}

void SimAudioSystem::failDevice(MMRESULT code, std::string why) {
  state_->failureWhy = std::move(why);
  state_->deviceFailure.store(code, std::memory_order_release);
  state_->released.wake();
}

void SimAudioSystem::failCall(Call call, MMRESULT code, unsigned nth, bool persistent) {
  const int i = static_cast<int>(call);
  faults_[i] = Fault{code, counts_[i] + nth, persistent};
}

void SimAudioSystem::clearFaults() { faults_ = {}; }

std::uint64_t SimAudioSystem::framesProduced() const { return state_->produced.load(); }

MMRESULT SimAudioSystem::injected(Call call) {
  const int i = static_cast<int>(call);
  const unsigned n = ++counts_[i];
  const Fault& f = faults_[i];
  if (f.at == 0) return MMSYSERR_NOERROR;
  return (n == f.at || (f.persistent && n > f.at)) ? f.code : MMSYSERR_NOERROR;
}

UINT SimAudioSystem::waveInGetNumDevs() { return injected(Call::waveInGetNumDevs) ? 0 : inputs_; }
UINT SimAudioSystem::waveOutGetNumDevs() { return injected(Call::waveOutGetNumDevs) ? 0 : outputs_; }

MMRESULT SimAudioSystem::waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) {
  if (MMRESULT f = injected(Call::waveInGetDevCapsA)) return f;
  if (caps == nullptr || size != sizeof(WAVEINCAPSA)) return MMSYSERR_INVALPARAM;
  if (deviceId != WAVE_MAPPER && deviceId >= inputs_) return MMSYSERR_BADDEVICEID;
  *caps = WAVEINCAPSA{};
  const std::string name = "Simulated input " + std::to_string(static_cast<int>(deviceId));
  std::strncpy(caps->szPname, name.c_str(), MAXPNAMELEN - 1);
  caps->wChannels = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT SimAudioSystem::openCaptureSource(UINT, const WAVEFORMATEX& format, std::unique_ptr<CaptureSource>& source) {
  source = std::make_unique<SimCaptureSource>(state_, signal_, pacing_, format);
  return MMSYSERR_NOERROR;
}

MMRESULT SimAudioSystem::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                    DWORD_PTR instance, DWORD flags) {
  if (MMRESULT f = injected(Call::waveInOpen)) return f;
  return DeviceAudioSystem::waveInOpen(handle, deviceId, format, callback, instance, flags);
}
MMRESULT SimAudioSystem::waveInPrepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
  if (MMRESULT f = injected(Call::waveInPrepareHeader)) return f;
  return DeviceAudioSystem::waveInPrepareHeader(h, header, size);
}
MMRESULT SimAudioSystem::waveInUnprepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
  if (MMRESULT f = injected(Call::waveInUnprepareHeader)) return f;
  return DeviceAudioSystem::waveInUnprepareHeader(h, header, size);
}
MMRESULT SimAudioSystem::waveInAddBuffer(HWAVEIN h, WAVEHDR* header, UINT size) {
  if (MMRESULT f = injected(Call::waveInAddBuffer)) return f;
  return DeviceAudioSystem::waveInAddBuffer(h, header, size);
}
MMRESULT SimAudioSystem::waveInStart(HWAVEIN h) {
  if (MMRESULT f = injected(Call::waveInStart)) return f;
  return DeviceAudioSystem::waveInStart(h);
}
MMRESULT SimAudioSystem::waveInStop(HWAVEIN h) {
  if (MMRESULT f = injected(Call::waveInStop)) return f;
  return DeviceAudioSystem::waveInStop(h);
}
MMRESULT SimAudioSystem::waveInReset(HWAVEIN h) {
  if (MMRESULT f = injected(Call::waveInReset)) return f;
  return DeviceAudioSystem::waveInReset(h);
}
MMRESULT SimAudioSystem::waveInClose(HWAVEIN h) {
  if (MMRESULT f = injected(Call::waveInClose)) return f;
  return DeviceAudioSystem::waveInClose(h);
}
MMRESULT SimAudioSystem::waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) {
  if (MMRESULT f = injected(Call::waveInGetErrorTextA)) {
    CopyErrorText({}, text, cch);
    return f;
  }
  return DeviceAudioSystem::waveInGetErrorTextA(code, text, cch);
}

}  // namespace platform::sim
