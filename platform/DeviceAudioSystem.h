// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The device calls implemented once, so that every back-end keeps the rules
// of AudioSystem.h: wave input over WaveInDevice, wave output over
// WaveOutDevice, mixers over MixerDevice, with handle checks, format and
// record checks, and error texts with the back-end's reason. A back-end
// supplies its devices' counts and names, and opens their frame sources,
// frame sinks and mixers.
//
// Threads: the calls come from one thread at a time (AudioSystem.h), so the
// open handles and the reasons are kept without a lock; device threads never
// touch them.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/AudioSystem.h"
#include "platform/BoundedCall.h"
#include "platform/CaptureSource.h"
#include "platform/MixerDevice.h"
#include "platform/PlaybackSink.h"

namespace platform {

class WaveDevice;

class DeviceAudioSystem : public AudioSystem {
 public:
  // A back-end's open of one device, run on a thread of its own so that a
  // device (or sound server) that does not answer holds its caller up for
  // kDeviceAnswerLimit at most; what opens later is closed on that thread.
  // Opens of one kind (input, output, mixer) go one at a time: while one
  // that was given up on has not come back, the next fails at once. It owns
  // what it needs (captured by value) and touches nothing of the system's. A
  // non-zero result is what the open call returns, with the back-end's
  // reason in `why`.
  template <typename T>
  using Opener = std::function<MMRESULT(std::unique_ptr<T>& opened, std::string& why)>;

  ~DeviceAudioSystem() override;

  MMRESULT waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) override;
  MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                      DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInStart(HWAVEIN handle) override;
  MMRESULT waveInStop(HWAVEIN handle) override;
  MMRESULT waveInReset(HWAVEIN handle) override;
  MMRESULT waveInClose(HWAVEIN handle) override;
  // The stamps the device's source or sink published (none: not supported).
  MMRESULT waveInGetStamp(HWAVEIN handle, WAVESTAMP* stamp) override;
  MMRESULT waveOutGetStamp(HWAVEOUT handle, WAVESTAMP* stamp) override;
  void waveInForceClose(HWAVEIN handle) override;
  MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) override;

  MMRESULT waveOutGetDevCapsA(UINT deviceId, WAVEOUTCAPSA* caps, UINT size) override;
  MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveOutReset(HWAVEOUT handle) override;
  MMRESULT waveOutClose(HWAVEOUT handle) override;
  void waveOutForceClose(HWAVEOUT handle) override;
  MMRESULT waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) override;

  MMRESULT mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) override;
  MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
  MMRESULT mixerGetLineInfoA(HMIXER handle, MIXERLINEA* line, DWORD flags) override;
  MMRESULT mixerGetLineControlsA(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) override;
  MMRESULT mixerGetControlDetailsA(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT mixerClose(HMIXER handle) override;
  unsigned devicesAbandoned() const override { return abandoned_; }

  // Is this the handle of a device open here?
  bool isOpen(HWAVEIN handle) const { return open_.count(handle) != 0; }
  bool isOpen(HWAVEOUT handle) const { return openOut_.count(handle) != 0; }
  bool isOpen(HMIXER handle) const { return openMixers_.count(handle) != 0; }
  // How many output devices and mixers are open here.
  std::size_t outputsOpen() const { return openOut_.size(); }
  std::size_t mixersOpen() const { return openMixers_.size(); }

  // The format is one the devices can be asked for: PCM, 1 or 2 channels,
  // 8 or 16 bits, a rate above 0 and consistent block align and byte rate.
  static bool ValidPcmFormat(const WAVEFORMATEX& format);

 protected:
  enum class Direction { In, Out };
  // What waveInGetDevCapsA and waveOutGetDevCapsA report of a device.
  struct WaveDeviceInfo {
    std::string name;
    DWORD formats = 0;  // dwFormats
    UINT driverVersion = 0;
  };
  // Describes wave device `deviceId` of a direction (WAVE_MAPPER: the
  // default one); false when there is no such device.
  virtual bool describeWaveDevice(Direction direction, UINT deviceId, WaveDeviceInfo& info) = 0;
  // Opens the frame source of a device (WAVE_MAPPER: the default) for the
  // format, which is valid.
  virtual Opener<CaptureSource> captureOpener(UINT deviceId, const WAVEFORMATEX& format) = 0;
  // The same for a wave-output device's frame sink.
  virtual Opener<PlaybackSink> playbackOpener(UINT deviceId, const WAVEFORMATEX& format) = 0;
  // Opens mixer `deviceId` (below mixerGetNumDevs()) and describes it. Its
  // notifications start only when mixerOpen hands it out.
  virtual Opener<MixerDevice> mixerOpener(UINT deviceId) = 0;

  // Records the back-end's reason for the failure it is about to return; the
  // text of that code then carries it until the code fails again.
  MMRESULT reason(MMRESULT code, std::string why);
  const std::set<HMIXER>& openMixers() const { return openMixers_; }

 private:
  template <typename Device>
  MMRESULT result(MMRESULT code, Device* device);
  template <typename Caps>
  MMRESULT devCaps(Direction direction, UINT deviceId, Caps* caps, UINT size);
  // The checks and the open that both directions share.
  MMRESULT checkOpen(bool haveHandle, UINT deviceId, UINT devices, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD flags);
  // Runs `call` in `lane` within kDeviceAnswerLimit. Its code, with its
  // reason; MMSYSERR_NODRIVER with the no-answer reason when it did not
  // come back in time, or the lane's previous call has not yet; or
  // MMSYSERR_NOMEM when no thread could start. `late` lets go, on the
  // call's thread, of what a call given up on made; such a call counts as
  // abandoned when `counts`.
  MMRESULT bounded(BoundedLane& lane, std::function<MMRESULT(std::string& why)> call, std::function<void()> late,
                   bool counts);
  template <typename T>
  MMRESULT openWithin(BoundedLane& lane, Opener<T> opener, std::unique_ptr<T>& opened);
  void closeMixer(HMIXER mixer);
  // Deletes a closed device (or leaves that to its thread), counting it when
  // its owner gave up on it.
  void release(WaveDevice* device);
  // Counts a device once, when a call has given up on it.
  void countAbandoned(WaveDevice* device);

  std::set<HWAVEIN> open_;
  std::set<HWAVEOUT> openOut_;
  std::set<HMIXER> openMixers_;
  std::map<MMRESULT, std::string> reasons_;
  unsigned abandoned_ = 0;
  BoundedLane captureOpens_, playbackOpens_, mixerOpens_;
};

}  // namespace platform
