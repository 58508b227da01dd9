// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sim/SimAudioSystem.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

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

// `names` by number, else "Simulated <kind> N", and "Default <kind>" for
// WAVE_MAPPER.
bool SimAudioSystem::describeWaveDevice(Direction direction, UINT deviceId, WaveDeviceInfo& info) {
  const bool in = direction == Direction::In;
  const UINT devices = in ? inputs_ : outputs_;
  if (deviceId == WAVE_MAPPER ? devices == 0 : deviceId >= devices) return false;
  const std::string kind = in ? "input" : "output";
  if (deviceId == WAVE_MAPPER)
    info.name = "Default " + kind;
  else if (in && deviceId < names_.size())
    info.name = names_[deviceId];
  else
    info.name = "Simulated " + kind + " " + std::to_string(deviceId);
  return true;
}

DeviceAudioSystem::Opener<CaptureSource> SimAudioSystem::captureOpener(UINT deviceId, const WAVEFORMATEX& format) {
  // Without devices there is no default one either.
  if (inputs_ == 0) return Refusal<CaptureSource>();
  lastDeviceId_ = deviceId;
  lastFormat_ = format;
  return [state = state_, signal = signal_, pacing = pacing_, format, path = loopback_](
             std::unique_ptr<CaptureSource>& source, std::string&) {
    source = std::make_unique<SimCaptureSource>(state, signal, pacing, format, path);
    return MMSYSERR_NOERROR;
  };
}

void SimAudioSystem::ForwardCallback(HWAVEIN hwi, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2) {
  const auto* f = reinterpret_cast<const Forward*>(instance);
  f->proc(hwi, msg, f->instance, p1, p2);
  // Counted once the owner's callback has returned: a test that sees the
  // count sees what the callback did.
  switch (msg) {
    case MM_WIM_OPEN:
      f->state->count(f->state->opens);
      break;
    case MM_WIM_CLOSE:
      f->state->count(f->state->closes);
      break;
    case MM_WIM_DATA:
      f->state->count(f->state->delivered);
      break;
    default:
      break;
  }
}

MMRESULT SimAudioSystem::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                    DWORD_PTR instance, DWORD flags) {
  const bool forwarded = handle != nullptr && callback != 0 && !(flags & WAVE_FORMAT_QUERY) &&
                         (flags & CALLBACK_TYPEMASK) == CALLBACK_FUNCTION;
  if (!forwarded) return DeviceAudioSystem::waveInOpen(handle, deviceId, format, callback, instance, flags);
  auto f = std::make_unique<Forward>(Forward{reinterpret_cast<WaveInProc>(callback), instance, state_.get()});
  const MMRESULT rc =
      DeviceAudioSystem::waveInOpen(handle, deviceId, format, reinterpret_cast<DWORD_PTR>(&ForwardCallback),
                                    reinterpret_cast<DWORD_PTR>(f.get()), flags);
  if (rc == MMSYSERR_NOERROR) forwards_[*handle] = std::move(f);
  return rc;
}

MMRESULT SimAudioSystem::waveInClose(HWAVEIN h) {
  const MMRESULT rc = DeviceAudioSystem::waveInClose(h);
  if (rc == MMSYSERR_NOERROR) forwards_.erase(h);
  return rc;
}

void SimAudioSystem::waveInForceClose(HWAVEIN h) {
  DeviceAudioSystem::waveInForceClose(h);
  forwards_.erase(h);
}

namespace {
std::int64_t Nanoseconds(std::uint64_t frames, DWORD rate) {
  return static_cast<std::int64_t>(static_cast<long double>(frames) * 1e9L / rate + 0.5L);
}
}  // namespace

MMRESULT SimAudioSystem::waveInGetStamp(HWAVEIN, WAVESTAMP* stamp) {
  if (stamp == nullptr) return MMSYSERR_INVALPARAM;
  if (!loopback_) return MMSYSERR_NOTSUPPORTED;
  const std::uint64_t frames = state_->deviceFrames.load(std::memory_order_acquire);
  *stamp = {frames, Nanoseconds(frames, lastFormat_.nSamplesPerSec)};
  return MMSYSERR_NOERROR;
}

MMRESULT SimAudioSystem::waveOutGetStamp(HWAVEOUT, WAVESTAMP* stamp) {
  if (stamp == nullptr) return MMSYSERR_INVALPARAM;
  const std::int64_t origin = state_->loopOrigin.load(std::memory_order_acquire);
  if (!loopback_ || origin < 0) return MMSYSERR_NOTSUPPORTED;
  *stamp = {0, Nanoseconds(static_cast<std::uint64_t>(origin), lastFormat_.nSamplesPerSec)};
  return MMSYSERR_NOERROR;
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

DeviceAudioSystem::Opener<PlaybackSink> SimAudioSystem::playbackOpener(UINT deviceId, const WAVEFORMATEX& format) {
  if (outputs_ == 0) return Refusal<PlaybackSink>();
  // No device thread runs now (the previous output device has closed), so
  // the record can be made anew here.
  state_->played.assign(recordBytes_, 0);
  state_->playedBytes.store(0, std::memory_order_release);
  state_->loopOrigin.store(-1, std::memory_order_release);
  lastOutputDeviceId_ = deviceId;
  lastOutputFormat_ = format;
  return [state = state_, pacing = pacing_, format](std::unique_ptr<PlaybackSink>& sink, std::string&) {
    sink = std::make_unique<SimPlaybackSink>(state, pacing, format);
    return MMSYSERR_NOERROR;
  };
}

// --- Mixers ---------------------------------------------------------------

void SimAudioSystem::setMixers(std::vector<SimMixerScript> mixers) {
  mixers_.clear();
  for (SimMixerScript& m : mixers) mixers_.push_back(std::make_shared<SimMixerScript>(std::move(m)));
}

void SimAudioSystem::setMixerValue(UINT mixer, DWORD controlId, std::vector<DWORD> values) {
  mixers_.at(mixer)->values[controlId] = std::move(values);
  for (HMIXER h : openMixers())
    if (auto* m = static_cast<SimMixer*>(h); m->device() == mixer) m->fire(controlId);
}

void SimAudioSystem::fireControlChange(DWORD controlId) {
  for (HMIXER h : openMixers()) static_cast<SimMixer*>(h)->fire(controlId);
}

DeviceAudioSystem::Opener<MixerDevice> SimAudioSystem::mixerOpener(UINT deviceId) {
  if (deviceId >= mixers_.size()) return Refusal<MixerDevice>();
  return [script = mixers_[deviceId], deviceId](std::unique_ptr<MixerDevice>& mixer, std::string&) {
    mixer = std::make_unique<SimMixer>(script, deviceId);
    return MMSYSERR_NOERROR;
  };
}

}  // namespace platform::sim
