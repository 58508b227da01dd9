// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// An audio system that passes every call on to another one, for benchmarks
// that look at a few calls on the way (when a write returned, what a device
// counted before it closed) and leave the rest alone.
#pragma once

#include "platform/AudioSystem.h"

namespace bench {

class ForwardingAudioSystem : public platform::AudioSystem {
 public:
  explicit ForwardingAudioSystem(platform::AudioSystem& inner) : inner_(inner) {}

  using HWAVEIN = platform::HWAVEIN;
  using HWAVEOUT = platform::HWAVEOUT;
  using HMIXER = platform::HMIXER;
  using MMRESULT = platform::MMRESULT;
  using UINT = platform::UINT;
  using DWORD = platform::DWORD;
  using DWORD_PTR = platform::DWORD_PTR;
  using WAVEHDR = platform::WAVEHDR;
  using WAVEFORMATEX = platform::WAVEFORMATEX;

  UINT waveInGetNumDevs() override { return inner_.waveInGetNumDevs(); }
  UINT waveOutGetNumDevs() override { return inner_.waveOutGetNumDevs(); }
  MMRESULT waveInGetDevCapsA(UINT id, platform::WAVEINCAPSA* caps, UINT size) override {
    return inner_.waveInGetDevCapsA(id, caps, size);
  }
  MMRESULT waveInOpen(HWAVEIN* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) override {
    return inner_.waveInOpen(h, id, f, cb, inst, flags);
  }
  MMRESULT waveInPrepareHeader(HWAVEIN h, WAVEHDR* hdr, UINT size) override {
    return inner_.waveInPrepareHeader(h, hdr, size);
  }
  MMRESULT waveInUnprepareHeader(HWAVEIN h, WAVEHDR* hdr, UINT size) override {
    return inner_.waveInUnprepareHeader(h, hdr, size);
  }
  MMRESULT waveInAddBuffer(HWAVEIN h, WAVEHDR* hdr, UINT size) override { return inner_.waveInAddBuffer(h, hdr, size); }
  MMRESULT waveInStart(HWAVEIN h) override { return inner_.waveInStart(h); }
  MMRESULT waveInStop(HWAVEIN h) override { return inner_.waveInStop(h); }
  MMRESULT waveInReset(HWAVEIN h) override { return inner_.waveInReset(h); }
  MMRESULT waveInClose(HWAVEIN h) override { return inner_.waveInClose(h); }
  void waveInForceClose(HWAVEIN h) override { inner_.waveInForceClose(h); }
  MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) override {
    return inner_.waveInGetErrorTextA(code, text, cch);
  }

  MMRESULT waveOutGetDevCapsA(UINT id, platform::WAVEOUTCAPSA* caps, UINT size) override {
    return inner_.waveOutGetDevCapsA(id, caps, size);
  }
  MMRESULT waveOutOpen(HWAVEOUT* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst,
                       DWORD flags) override {
    return inner_.waveOutOpen(h, id, f, cb, inst, flags);
  }
  MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* hdr, UINT size) override {
    return inner_.waveOutPrepareHeader(h, hdr, size);
  }
  MMRESULT waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* hdr, UINT size) override {
    return inner_.waveOutUnprepareHeader(h, hdr, size);
  }
  MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* hdr, UINT size) override { return inner_.waveOutWrite(h, hdr, size); }
  MMRESULT waveOutReset(HWAVEOUT h) override { return inner_.waveOutReset(h); }
  MMRESULT waveOutClose(HWAVEOUT h) override { return inner_.waveOutClose(h); }
  void waveOutForceClose(HWAVEOUT h) override { inner_.waveOutForceClose(h); }
  MMRESULT waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) override {
    return inner_.waveOutGetErrorTextA(code, text, cch);
  }

  UINT mixerGetNumDevs() override { return inner_.mixerGetNumDevs(); }
  MMRESULT mixerGetDevCapsA(UINT id, platform::MIXERCAPSA* caps, UINT size) override {
    return inner_.mixerGetDevCapsA(id, caps, size);
  }
  MMRESULT mixerOpen(HMIXER* h, UINT id, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) override {
    return inner_.mixerOpen(h, id, cb, inst, flags);
  }
  MMRESULT mixerGetLineInfoA(HMIXER h, platform::MIXERLINEA* line, DWORD flags) override {
    return inner_.mixerGetLineInfoA(h, line, flags);
  }
  MMRESULT mixerGetLineControlsA(HMIXER h, platform::MIXERLINECONTROLSA* controls, DWORD flags) override {
    return inner_.mixerGetLineControlsA(h, controls, flags);
  }
  MMRESULT mixerGetControlDetailsA(HMIXER h, platform::MIXERCONTROLDETAILS* details, DWORD flags) override {
    return inner_.mixerGetControlDetailsA(h, details, flags);
  }
  MMRESULT mixerClose(HMIXER h) override { return inner_.mixerClose(h); }
  unsigned devicesAbandoned() const override { return inner_.devicesAbandoned(); }
  MMRESULT waveInGetStamp(HWAVEIN h, platform::WAVESTAMP* s) override { return inner_.waveInGetStamp(h, s); }
  MMRESULT waveOutGetStamp(HWAVEOUT h, platform::WAVESTAMP* s) override { return inner_.waveOutGetStamp(h, s); }

 private:
  platform::AudioSystem& inner_;
};

}  // namespace bench
