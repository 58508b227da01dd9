#include "platform/sim/SimAudioSystem.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "platform/Messages.h"
#include "platform/sim/SimPlaybackSink.h"

namespace platform::sim {

SimAudioSystem::SimAudioSystem() : state_(std::make_shared<SimState>()) {}

SimAudioSystem::~SimAudioSystem() {
  // The forwarding records must outlive the device threads that call them.
  while (!forwards_.empty()) {
    const HWAVEIN h = forwards_.begin()->first;
    DeviceAudioSystem::waveInReset(h);
    DeviceAudioSystem::waveInClose(h);
    forwards_.erase(h);
  }
}

void SimAudioSystem::setInputDevices(UINT n) {
  inputs_ = n;
  names_.clear();
}

void SimAudioSystem::setInputDeviceNames(std::vector<std::string> names) {
  inputs_ = static_cast<UINT>(names.size());
  names_ = std::move(names);
}

void SimAudioSystem::release(std::uint64_t frames) {
  state_->frameCredit.fetch_add(frames, std::memory_order_acq_rel);
  state_->poke.wake();
}

void SimAudioSystem::releaseBuffers(std::uint64_t buffers) {
  state_->bufferCredit.fetch_add(buffers, std::memory_order_acq_rel);
  state_->poke.wake();
}

bool SimAudioSystem::shortNextBuffer(DWORD bytes, unsigned nth) {
  if (!state_->shortBuffers.push(ShortBuffer{bytes, std::max(nth, 1u)})) return false;
  state_->poke.wake();
  return true;
}

bool SimAudioSystem::failDevice(MMRESULT code, std::string why) {
  if (state_->failure.load(std::memory_order_acquire) != MMSYSERR_NOERROR) return false;
  state_->failureWhy = std::move(why);
  state_->failure.store(code, std::memory_order_release);
  state_->poke.wake();
  return true;
}

void SimAudioSystem::failCall(Call call, MMRESULT code, unsigned nth, bool persistent, std::string why) {
  const int i = static_cast<int>(call);
  faults_[i] = Fault{code, counts_[i] + std::max(nth, 1u), persistent, std::move(why)};
}

void SimAudioSystem::clearFaults() { faults_ = {}; }

MMRESULT SimAudioSystem::injected(Call call) {
  const int i = static_cast<int>(call);
  const unsigned n = ++counts_[i];
  const Fault& f = faults_[i];
  if (f.at == 0 || !(n == f.at || (f.persistent && n > f.at))) return MMSYSERR_NOERROR;
  const bool textCall = call == Call::waveInGetErrorTextA || call == Call::waveOutGetErrorTextA;
  return textCall ? f.code : reason(f.code, f.why);
}

bool SimAudioSystem::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto limit = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // Rounded up, so that the last wait does not end just short of the limit.
    state_->observed.wait(static_cast<int>(left.count()) + 1);
  }
  return true;
}

bool SimAudioSystem::waitDelivered(std::uint64_t total, std::chrono::milliseconds timeout) {
  return waitUntil([&] { return buffersDelivered() >= total; }, timeout);
}

bool SimAudioSystem::waitProduced(std::uint64_t total, std::chrono::milliseconds timeout) {
  return waitUntil([&] { return framesProduced() >= total; }, timeout);
}

bool SimAudioSystem::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  QEventLoop loop;
  QSocketNotifier counts(state_->observed.fd(), QSocketNotifier::Read);
  QObject::connect(&counts, &QSocketNotifier::activated, &loop, [this] { state_->observed.drain(); });
  QTimer limit;
  limit.setSingleShot(true);
  bool late = false;
  QObject::connect(&limit, &QTimer::timeout, &loop, [&late] { late = true; });
  limit.start(timeout);
  // Each pass handles what has arrived (posted messages, a count moving,
  // the limit) and sleeps until more does.
  while (!done()) {
    if (late) return false;
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

UINT SimAudioSystem::waveInGetNumDevs() {
  if (inside_) return inputs_;
  return injected(Call::waveInGetNumDevs) ? 0 : inputs_;
}

UINT SimAudioSystem::waveOutGetNumDevs() { return injected(Call::waveOutGetNumDevs) ? 0 : outputs_; }

// The capabilities record of either direction: `names` by number, else
// "<kind> N", and "Default <kind>" for WAVE_MAPPER.
template <typename Caps>
MMRESULT SimAudioSystem::FillCaps(UINT deviceId, UINT devices, const std::vector<std::string>& names,
                                  const char* kind, Caps* caps, UINT size) {
  if (caps == nullptr || size != sizeof(Caps)) return reason(MMSYSERR_INVALPARAM, {});
  if (deviceId == WAVE_MAPPER ? devices == 0 : deviceId >= devices) return reason(MMSYSERR_BADDEVICEID, {});
  *caps = Caps{};
  std::string name;
  if (deviceId == WAVE_MAPPER) name = std::string("Default ") + kind;
  else if (deviceId < names.size()) name = names[deviceId];
  else name = std::string("Simulated ") + kind + " " + std::to_string(deviceId);
  const std::size_t n = std::min<std::size_t>(name.size(), MAXPNAMELEN - 1);
  std::memcpy(caps->szPname, name.data(), n);
  caps->szPname[n] = '\0';
  caps->wChannels = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT SimAudioSystem::waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) {
  if (MMRESULT f = injected(Call::waveInGetDevCapsA)) return f;
  return FillCaps(deviceId, inputs_, names_, "input", caps, size);
}

MMRESULT SimAudioSystem::waveOutGetDevCapsA(UINT deviceId, WAVEOUTCAPSA* caps, UINT size) {
  if (MMRESULT f = injected(Call::waveOutGetDevCapsA)) return f;
  return FillCaps(deviceId, outputs_, {}, "output", caps, size);
}

MMRESULT SimAudioSystem::openCaptureSource(UINT, const WAVEFORMATEX& format, std::unique_ptr<CaptureSource>& source) {
  // Without devices there is no default one either.
  if (inputs_ == 0) return reason(MMSYSERR_BADDEVICEID, {});
  source = std::make_unique<SimCaptureSource>(state_, signal_, pacing_, format);
  return MMSYSERR_NOERROR;
}

void SimAudioSystem::ForwardCallback(HWAVEIN hwi, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2) {
  const auto* f = reinterpret_cast<const Forward*>(instance);
  f->proc(hwi, msg, f->instance, p1, p2);
  // Counted once the owner's callback has returned: a test that sees the
  // count sees what the callback did.
  switch (msg) {
    case MM_WIM_OPEN: f->state->count(f->state->opens); break;
    case MM_WIM_CLOSE: f->state->count(f->state->closes); break;
    case MM_WIM_DATA: f->state->count(f->state->delivered); break;
    default: break;
  }
}

MMRESULT SimAudioSystem::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                    DWORD_PTR instance, DWORD flags) {
  if (MMRESULT f = injected(Call::waveInOpen)) return f;
  inside_ = true;
  const bool forwarded = handle != nullptr && callback != 0 && !(flags & WAVE_FORMAT_QUERY) &&
                         (flags & CALLBACK_TYPEMASK) == CALLBACK_FUNCTION;
  MMRESULT rc = MMSYSERR_NOERROR;
  if (!forwarded) {
    rc = DeviceAudioSystem::waveInOpen(handle, deviceId, format, callback, instance, flags);
  } else {
    auto f = std::make_unique<Forward>(Forward{reinterpret_cast<WaveInProc>(callback), instance, state_.get()});
    rc = DeviceAudioSystem::waveInOpen(handle, deviceId, format, reinterpret_cast<DWORD_PTR>(&ForwardCallback),
                                       reinterpret_cast<DWORD_PTR>(f.get()), flags);
    if (rc == MMSYSERR_NOERROR) forwards_[*handle] = std::move(f);
  }
  inside_ = false;
  if (rc == MMSYSERR_NOERROR && !(flags & WAVE_FORMAT_QUERY)) {
    lastDeviceId_ = deviceId;
    lastFormat_ = *format;
  }
  return rc;
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
  const MMRESULT rc = DeviceAudioSystem::waveInClose(h);
  if (rc == MMSYSERR_NOERROR) forwards_.erase(h);
  return rc;
}

// Not counted among the calls and never failed: it is what an owner does
// when the others have failed.
void SimAudioSystem::waveInForceClose(HWAVEIN h) {
  DeviceAudioSystem::waveInForceClose(h);
  forwards_.erase(h);
}

MMRESULT SimAudioSystem::waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) {
  if (MMRESULT f = injected(Call::waveInGetErrorTextA)) {
    CopyErrorText({}, text, cch);
    return f;
  }
  return DeviceAudioSystem::waveInGetErrorTextA(code, text, cch);
}

// --- Output ---------------------------------------------------------------

void SimAudioSystem::releasePlayback(std::uint64_t frames) {
  state_->playCredit.fetch_add(frames, std::memory_order_acq_rel);
  state_->playPoke.wake();
}

bool SimAudioSystem::failOutputDevice(MMRESULT code, std::string why) {
  if (state_->outFailure.load(std::memory_order_acquire) != MMSYSERR_NOERROR) return false;
  state_->outFailureWhy = std::move(why);
  state_->outFailure.store(code, std::memory_order_release);
  state_->playPoke.wake();
  return true;
}

std::vector<BYTE> SimAudioSystem::playedBytes() const {
  const std::size_t n = state_->playedBytes.load(std::memory_order_acquire);
  return {state_->played.begin(), state_->played.begin() + static_cast<std::ptrdiff_t>(n)};
}

MMRESULT SimAudioSystem::openPlaybackSink(UINT, const WAVEFORMATEX& format, std::unique_ptr<PlaybackSink>& sink) {
  if (outputs_ == 0) return reason(MMSYSERR_BADDEVICEID, {});
  // No device thread runs now (the previous output device has closed), so
  // the record can be made anew here.
  state_->played.assign(recordBytes_, 0);
  state_->playedBytes.store(0, std::memory_order_release);
  sink = std::make_unique<SimPlaybackSink>(state_, pacing_, format);
  return MMSYSERR_NOERROR;
}

MMRESULT SimAudioSystem::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                     DWORD_PTR instance, DWORD flags) {
  if (MMRESULT f = injected(Call::waveOutOpen)) return f;
  const MMRESULT rc = DeviceAudioSystem::waveOutOpen(handle, deviceId, format, callback, instance, flags);
  if (rc == MMSYSERR_NOERROR && !(flags & WAVE_FORMAT_QUERY)) {
    lastOutputDeviceId_ = deviceId;
    lastOutputFormat_ = *format;
    ++outputsOpen_;
  }
  return rc;
}

MMRESULT SimAudioSystem::waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  if (MMRESULT f = injected(Call::waveOutPrepareHeader)) return f;
  return DeviceAudioSystem::waveOutPrepareHeader(h, header, size);
}

MMRESULT SimAudioSystem::waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  if (MMRESULT f = injected(Call::waveOutUnprepareHeader)) return f;
  return DeviceAudioSystem::waveOutUnprepareHeader(h, header, size);
}

MMRESULT SimAudioSystem::waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT size) {
  if (MMRESULT f = injected(Call::waveOutWrite)) return f;
  return DeviceAudioSystem::waveOutWrite(h, header, size);
}

MMRESULT SimAudioSystem::waveOutReset(HWAVEOUT h) {
  if (MMRESULT f = injected(Call::waveOutReset)) return f;
  return DeviceAudioSystem::waveOutReset(h);
}

MMRESULT SimAudioSystem::waveOutClose(HWAVEOUT h) {
  if (MMRESULT f = injected(Call::waveOutClose)) return f;
  const MMRESULT rc = DeviceAudioSystem::waveOutClose(h);
  if (rc == MMSYSERR_NOERROR) --outputsOpen_;
  return rc;
}

void SimAudioSystem::waveOutForceClose(HWAVEOUT h) {
  if (isOpen(h)) --outputsOpen_;
  DeviceAudioSystem::waveOutForceClose(h);
}

MMRESULT SimAudioSystem::waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) {
  if (MMRESULT f = injected(Call::waveOutGetErrorTextA)) {
    CopyErrorText({}, text, cch);
    return f;
  }
  return DeviceAudioSystem::waveOutGetErrorTextA(code, text, cch);
}

// --- Mixers ---------------------------------------------------------------

void SimAudioSystem::setMixers(std::vector<SimMixerScript> mixers) {
  mixers_.clear();
  for (SimMixerScript& m : mixers) mixers_.push_back(std::make_shared<SimMixerScript>(std::move(m)));
}

void SimAudioSystem::setMixerValue(UINT mixer, DWORD controlId, std::vector<DWORD> values) {
  mixers_.at(mixer)->values[controlId] = std::move(values);
  for (const auto& [h, from] : openMixers_)
    if (from == mixer) static_cast<SimMixer*>(h)->fire(controlId);
}

void SimAudioSystem::fireControlChange(DWORD controlId) {
  for (const auto& open : openMixers_) static_cast<SimMixer*>(open.first)->fire(controlId);
}

MMRESULT SimAudioSystem::openMixerDevice(UINT deviceId, std::unique_ptr<MixerDevice>& mixer) {
  if (deviceId >= mixers_.size()) return reason(MMSYSERR_BADDEVICEID, {});
  mixer = std::make_unique<SimMixer>(mixers_[deviceId]);
  return MMSYSERR_NOERROR;
}

UINT SimAudioSystem::mixerGetNumDevs() {
  if (inside_) return static_cast<UINT>(mixers_.size());
  return injected(Call::mixerGetNumDevs) ? 0 : static_cast<UINT>(mixers_.size());
}

MMRESULT SimAudioSystem::mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) {
  if (MMRESULT f = injected(Call::mixerGetDevCapsA)) return f;
  inside_ = true;
  const MMRESULT rc = DeviceAudioSystem::mixerGetDevCapsA(deviceId, caps, size);
  inside_ = false;
  return rc;
}

MMRESULT SimAudioSystem::mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                                   DWORD flags) {
  if (MMRESULT f = injected(Call::mixerOpen)) return f;
  inside_ = true;
  const MMRESULT rc = DeviceAudioSystem::mixerOpen(handle, deviceId, callback, instance, flags);
  inside_ = false;
  if (rc == MMSYSERR_NOERROR) openMixers_[*handle] = deviceId;
  return rc;
}

MMRESULT SimAudioSystem::mixerGetLineInfoA(HMIXER h, MIXERLINEA* line, DWORD flags) {
  if (MMRESULT f = injected(Call::mixerGetLineInfoA)) return f;
  return DeviceAudioSystem::mixerGetLineInfoA(h, line, flags);
}

MMRESULT SimAudioSystem::mixerGetLineControlsA(HMIXER h, MIXERLINECONTROLSA* controls, DWORD flags) {
  if (MMRESULT f = injected(Call::mixerGetLineControlsA)) return f;
  return DeviceAudioSystem::mixerGetLineControlsA(h, controls, flags);
}

MMRESULT SimAudioSystem::mixerGetControlDetailsA(HMIXER h, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (MMRESULT f = injected(Call::mixerGetControlDetailsA)) return f;
  return DeviceAudioSystem::mixerGetControlDetailsA(h, details, flags);
}

MMRESULT SimAudioSystem::mixerClose(HMIXER h) {
  if (MMRESULT f = injected(Call::mixerClose)) return f;
  const MMRESULT rc = DeviceAudioSystem::mixerClose(h);
  if (rc == MMSYSERR_NOERROR) openMixers_.erase(h);
  return rc;
}

}  // namespace platform::sim
