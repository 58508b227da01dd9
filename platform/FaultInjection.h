// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Fault injection over any AudioSystem: every call goes through to the
// system it wraps and is counted, unless a fault chosen by a test makes it
// fail with a chosen code, once or from the n-th call on. It wraps the
// simulated device in the component's tests, and the ALSA back-end where a
// real-stack test needs a call to fail.
//
//   sim::SimAudioSystem sim;
//   FaultInjection faults(sim);
//   audio::TAudio audio(nullptr, &faults);
//   faults.failCall(AudioCall::waveInAddBuffer, MMSYSERR_NOMEM, 5);  // the 5th call from now
//
// A call that fails here does not reach the wrapped system. A failing count
// call returns 0; a failing ...GetErrorTextA leaves an empty text; the
// forced closes are neither counted nor failed (they are what an owner does
// when the rest has failed). The code's text carries the fault's reason
// until the wrapped system fails with that code again.
//
// Threads: as for every AudioSystem, one thread at a time; the set-up and
// the counts belong to that thread too.
#pragma once

#include <array>
#include <map>
#include <string>

#include "platform/AudioSystem.h"

namespace platform {

// Every call of AudioSystem that can be made to fail.
enum class AudioCall {
  waveInGetNumDevs,
  waveOutGetNumDevs,
  waveInGetDevCapsA,
  waveOutGetDevCapsA,
  waveInOpen,
  waveInPrepareHeader,
  waveInUnprepareHeader,
  waveInAddBuffer,
  waveInStart,
  waveInStop,
  waveInReset,
  waveInClose,
  waveInGetErrorTextA,
  waveOutOpen,
  waveOutPrepareHeader,
  waveOutUnprepareHeader,
  waveOutWrite,
  waveOutReset,
  waveOutClose,
  waveOutGetErrorTextA,
  mixerGetNumDevs,
  mixerGetDevCapsA,
  mixerOpen,
  mixerGetLineInfoA,
  mixerGetLineControlsA,
  mixerGetControlDetailsA,
  mixerClose,
  Count
};

class FaultInjection final : public AudioSystem {
 public:
  // `system` must outlive this.
  explicit FaultInjection(AudioSystem& system) : system_(system) {}

  // The nth call of `call` from now on returns `code` (persistent: that call
  // and every later one), with `why` added to the code's text (empty: the
  // plain text).
  void failCall(AudioCall call, MMRESULT code, unsigned nth = 1, bool persistent = false, std::string why = {});
  void clearFaults() { faults_ = {}; }
  // Calls of each kind so far, failed ones included.
  unsigned calls(AudioCall call) const { return counts_[static_cast<int>(call)]; }

  UINT waveInGetNumDevs() override;
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
  void waveInForceClose(HWAVEIN handle) override { system_.waveInForceClose(handle); }
  MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) override;

  UINT waveOutGetNumDevs() override;
  MMRESULT waveOutGetDevCapsA(UINT deviceId, WAVEOUTCAPSA* caps, UINT size) override;
  MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveOutReset(HWAVEOUT handle) override;
  MMRESULT waveOutClose(HWAVEOUT handle) override;
  void waveOutForceClose(HWAVEOUT handle) override { system_.waveOutForceClose(handle); }
  MMRESULT waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) override;

  UINT mixerGetNumDevs() override;
  MMRESULT mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) override;
  MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
  MMRESULT mixerGetLineInfoA(HMIXER handle, MIXERLINEA* line, DWORD flags) override;
  MMRESULT mixerGetLineControlsA(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) override;
  MMRESULT mixerGetControlDetailsA(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT mixerClose(HMIXER handle) override;
  unsigned devicesAbandoned() const override { return system_.devicesAbandoned(); }
  MMRESULT waveInGetStamp(HWAVEIN h, WAVESTAMP* s) override { return system_.waveInGetStamp(h, s); }
  MMRESULT waveOutGetStamp(HWAVEOUT h, WAVESTAMP* s) override { return system_.waveOutGetStamp(h, s); }

 private:
  struct Fault {
    MMRESULT code = 0;
    unsigned at = 0;  // the call number that fails first; 0: none
    bool persistent = false;
    std::string why;
  };

  // Counts the call; its injected failure (with its reason noted), or 0.
  MMRESULT injected(AudioCall call);
  // What the wrapped system returned; a failure of its own replaces the
  // reason a fault gave that code.
  MMRESULT passed(MMRESULT code);
  template <typename Call>
  MMRESULT through(AudioCall call, Call&& forward);
  MMRESULT errorText(AudioCall call, MMRESULT code, char* text, UINT cch);

  AudioSystem& system_;
  std::array<unsigned, static_cast<int>(AudioCall::Count)> counts_{};
  std::array<Fault, static_cast<int>(AudioCall::Count)> faults_{};
  std::map<MMRESULT, std::string> reasons_;  // of the codes a fault returned last
};

}  // namespace platform
