// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated back-end: a real device (its own thread, the queue rules
// every back-end shares) whose frames come from a signal the test chooses,
// paced by a clock or released by the test. Calls are made to fail by
// wrapping it in a FaultInjection.
//
//   sim::SimAudioSystem sim;
//   sim.setSignal(sim::Signal::Counter());      // before the device opens
//   sim.setPacing(sim::Pacing::Manual);
//   ... open and start through the component ...
//   sim.release(2048 * 3);                      // three 2048-frame blocks
//   sim.pumpUntil([&] { return sim.buffersDelivered() >= 3; });
//
// Threads. The calls and the set-up (devices, signal, pacing) come from the
// owner's thread, as in the system. release, shortNextBuffer and failDevice
// may come from any one thread at any time: they reach the device thread
// through atomics, a lock-free ring and a wake-up. The counts may be read on
// any thread.
//
// Counts of notifications (opens, closes, delivered buffers) are taken for
// devices opened with CALLBACK_FUNCTION: the system passes its own callback
// to the device and calls the owner's from it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceAudioSystem.h"
#include "platform/ResultCodes.h"
#include "platform/sim/LoopbackPath.h"
#include "platform/sim/Signal.h"
#include "platform/sim/SimCaptureSource.h"
#include "platform/sim/SimMixer.h"
#include "platform/sim/SimState.h"

namespace platform::sim {

class SimAudioSystem : public DeviceAudioSystem {
 public:
  static constexpr std::chrono::milliseconds kWaitLimit{10000};

  SimAudioSystem();
  // Closes devices left open (reset first), so that no device thread runs on.
  ~SimAudioSystem() override;

  // Devices (default: one input, one output, no mixer). Names appear in
  // waveInGetDevCapsA; without names a device is "Simulated input N" (an
  // output one "Simulated output N").
  void setInputDevices(UINT n);
  void setInputDeviceNames(std::vector<std::string> names);
  void setOutputDevices(UINT n) { outputs_ = n; }
  // Mixer devices 0, 1, ...; a script may be changed while its device is
  // open (setMixerValue).
  void setMixers(std::vector<SimMixerScript> mixers);

  // The signal and pacing of devices opened from now on. Each device's
  // signal starts at frame 0.
  void setSignal(Signal s) { signal_ = std::move(s); }
  void setPacing(Pacing p) { pacing_ = p; }

  // Loops the output back to the input through `path` (LoopbackPath.h),
  // for the devices opened from now on: the input captures what the output
  // plays, and the output plays at the pace the input takes it (with Clock
  // pacing, real time; Unpaced, as fast as the two go). Before and after a
  // playing the input hears the path at rest (its noise).
  void setLoopback(LoopbackPath path) {
    loopback_ = std::move(path);
    state_->loopback = true;
  }
  // The frame the input had captured (counted from its open) when the
  // latest playing's first frame came round the loop with no delay; -1
  // before any.
  std::int64_t loopbackOrigin() const { return state_->loopOrigin.load(std::memory_order_acquire); }

  // Manual pacing: lets the device produce `frames` more frames, or fill
  // `buffers` more buffers to the end (full or short); released frames go
  // first. What a device leaves unused stays for the next one.
  void release(std::uint64_t frames);
  void releaseBuffers(std::uint64_t buffers);

  // Output. Manual pacing: lets the output device play `frames` more frames.
  void releasePlayback(std::uint64_t frames);
  // The output device's next write fails with `code` (as failDevice).
  bool failOutputDevice(MMRESULT code = MMSYSERR_NODRIVER, std::string why = "simulated device removed");
  // The bytes the latest output device played, in order (the first
  // `recordBytes` of them: set before it opens; default 16 MiB).
  std::vector<BYTE> playedBytes() const;
  void setPlaybackRecordBytes(std::size_t bytes) { recordBytes_ = bytes; }
  std::uint64_t framesPlayed() const { return state_->framesPlayed.load(std::memory_order_acquire); }
  std::uint64_t outputResets() const { return state_->outputResets.load(std::memory_order_acquire); }
  const WAVEFORMATEX& lastOutputFormat() const { return lastOutputFormat_; }
  UINT lastOutputDeviceId() const { return lastOutputDeviceId_; }

  // Mixer: sets a control's values on every device opened from `mixer` and
  // posts its change from each open one, as a user moving a slider would.
  void setMixerValue(UINT mixer, DWORD controlId, std::vector<DWORD> values);
  // Posts a change of `controlId` (any number) from every open mixer.
  void fireControlChange(DWORD controlId);

  // The nth buffer the device begins from now on (1: the next one, or the
  // one it waits to fill) comes back with at most `bytes` bytes, in whole
  // frames; 0 bytes: it comes back empty as soon as the device reaches it,
  // without waiting for frames. False when 16 requests wait already.
  bool shortNextBuffer(DWORD bytes, unsigned nth = 1);

  // The device disappears: its next read fails with `code`, every queued
  // buffer comes back, and its calls report the code with `why` in the
  // text. One device fails per request; false while one is still pending.
  bool failDevice(MMRESULT code = MMSYSERR_NODRIVER, std::string why = "simulated device removed");

  // What the device saw.
  std::uint64_t framesProduced() const { return state_->produced.load(std::memory_order_acquire); }
  std::uint64_t buffersDelivered() const { return state_->delivered.load(std::memory_order_acquire); }
  std::uint64_t opensDelivered() const { return state_->opens.load(std::memory_order_acquire); }
  std::uint64_t closesDelivered() const { return state_->closes.load(std::memory_order_acquire); }
  std::uint64_t captureStarts() const { return state_->starts.load(std::memory_order_acquire); }
  std::uint64_t captureStops() const { return state_->stops.load(std::memory_order_acquire); }
  // The device number and format of the latest input device opened.
  UINT lastDeviceId() const { return lastDeviceId_; }
  const WAVEFORMATEX& lastFormat() const { return lastFormat_; }

  // Sleeps until done() holds, waking whenever a count above moves; false
  // after the timeout. Posted messages are not handled meanwhile.
  bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kWaitLimit);
  bool waitDelivered(std::uint64_t total, std::chrono::milliseconds timeout = kWaitLimit);
  bool waitProduced(std::uint64_t total, std::chrono::milliseconds timeout = kWaitLimit);
  // The same on the thread's event loop, so that posted messages (the
  // component's re-queue requests) are handled while it waits.
  bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kWaitLimit);

  UINT waveInGetNumDevs() override { return inputs_; }
  UINT waveOutGetNumDevs() override { return outputs_; }
  UINT mixerGetNumDevs() override { return static_cast<UINT>(mixers_.size()); }
  // The owner's callback function is called from the system's own, which
  // counts the notifications.
  MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                      DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveInClose(HWAVEIN handle) override;
  // Looped back, the devices' stamps are exact on the input's clock (its
  // frames at the format's rate): the input's at its latest frame, the
  // output's at the origin of the latest playing. Otherwise not supported.
  MMRESULT waveInGetStamp(HWAVEIN handle, WAVESTAMP* stamp) override;
  MMRESULT waveOutGetStamp(HWAVEOUT handle, WAVESTAMP* stamp) override;
  void waveInForceClose(HWAVEIN handle) override;

 protected:
  bool describeWaveDevice(Direction direction, UINT deviceId, WaveDeviceInfo& info) override;
  Opener<CaptureSource> captureOpener(UINT deviceId, const WAVEFORMATEX& format) override;
  Opener<PlaybackSink> playbackOpener(UINT deviceId, const WAVEFORMATEX& format) override;
  Opener<MixerDevice> mixerOpener(UINT deviceId) override;

 private:
  // The open of a device that is not there.
  template <typename T>
  static Opener<T> Refusal() {
    return [](std::unique_ptr<T>&, std::string&) { return MMSYSERR_BADDEVICEID; };
  }
  // The owner's callback, called from the system's own.
  struct Forward {
    WaveInProc proc;
    DWORD_PTR instance;
    SimState* state;
  };
  static void ForwardCallback(HWAVEIN hwi, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2);

  UINT inputs_ = 1, outputs_ = 1;
  std::vector<std::string> names_;
  Signal signal_;
  Pacing pacing_ = Pacing::Clock;
  std::optional<LoopbackPath> loopback_;
  std::shared_ptr<SimState> state_;
  std::map<HWAVEIN, std::unique_ptr<Forward>> forwards_;
  UINT lastDeviceId_ = 0;
  WAVEFORMATEX lastFormat_{};
  UINT lastOutputDeviceId_ = 0;
  WAVEFORMATEX lastOutputFormat_{};
  std::size_t recordBytes_ = 16u << 20;
  std::vector<std::shared_ptr<SimMixerScript>> mixers_;
};

}  // namespace platform::sim
