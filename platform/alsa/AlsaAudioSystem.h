// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The wave devices of this machine through ALSA. Device numbers and names:
// AlsaDevices.h (WAVE_MAPPER: ALSA's "default", on a desktop the sound
// server; 0, 1, ...: the cards' devices, or the sound server where there is
// no card). Capture: AlsaCaptureSource.h; playback: AlsaPlaybackSink.h; one
// device thread per open device (WaveInDevice, WaveOutDevice). Mixers: the
// cards' control interfaces, or the sound server's where there is no card,
// each with its own event thread while open (AlsaMixer.h).
//
// Error texts carry ALSA's reason for the latest failure of each code, e.g.
// "The device is already in use by another program. (snd_pcm_open(plughw:1,0):
// Device or resource busy [...])". alsa-lib prints nothing on the terminal
// once an AlsaAudioSystem exists.
#pragma once

#include "platform/DeviceAudioSystem.h"

namespace platform::alsa {

class AlsaAudioSystem final : public DeviceAudioSystem {
 public:
  AlsaAudioSystem();

  UINT waveInGetNumDevs() override;
  UINT waveOutGetNumDevs() override;
  UINT mixerGetNumDevs() override;

 protected:
  // Also for WAVE_MAPPER. Every listed device takes 1 or 2 channels and
  // every standard format, ALSA converting where the hardware cannot.
  bool describeWaveDevice(Direction direction, UINT deviceId, WaveDeviceInfo& info) override;
  Opener<CaptureSource> captureOpener(UINT deviceId, const WAVEFORMATEX& format) override;
  Opener<PlaybackSink> playbackOpener(UINT deviceId, const WAVEFORMATEX& format) override;
  Opener<MixerDevice> mixerOpener(UINT deviceId) override;
};

}  // namespace platform::alsa
