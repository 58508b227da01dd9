// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/AlsaAudioSystem.h"

#include <memory>
#include <string>

#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaCaptureSource.h"
#include "platform/alsa/AlsaCheck.h"
#include "platform/alsa/AlsaDevices.h"
#include "platform/alsa/AlsaMixer.h"
#include "platform/alsa/AlsaPlaybackSink.h"

namespace platform::alsa {
namespace {

// dwFormats: every standard rate (11.025 to 96 kHz), mono and stereo, 8 and
// 16 bits.
constexpr DWORD kAllStandardFormats = 0x000FFFFF;

// The device of a number, or false when there is none.
bool Find(UINT deviceId, snd_pcm_stream_t stream, PcmDevice& device) {
  if (deviceId == WAVE_MAPPER) {
    device = DefaultPcmDevice();
    return true;
  }
  std::vector<PcmDevice> devices = ListPcmDevices(stream);
  if (deviceId >= devices.size()) return false;
  device = std::move(devices[deviceId]);
  return true;
}

// Opens device `deviceId`'s PCM in one direction as a `Pcm` (the capture
// source or the playback sink).
template <typename Pcm, typename Base>
DeviceAudioSystem::Opener<Base> PcmOpener(UINT deviceId, snd_pcm_stream_t stream, const WAVEFORMATEX& format) {
  return [deviceId, stream, format](std::unique_ptr<Base>& opened, std::string& why) -> MMRESULT {
    PcmDevice device;
    // The device was listed a moment ago; a card unplugged since is gone.
    if (!Find(deviceId, stream, device)) {
      why = "the device is no longer there";
      return MMSYSERR_BADDEVICEID;
    }
    auto pcm = std::make_unique<Pcm>();
    const MMRESULT rc = pcm->open(device.pcm, device.card, format, why);
    if (rc == MMSYSERR_NOERROR) opened = std::move(pcm);
    return rc;
  };
}

}  // namespace

AlsaAudioSystem::AlsaAudioSystem() { SilenceAlsaMessages(); }

UINT AlsaAudioSystem::waveInGetNumDevs() { return static_cast<UINT>(ListPcmDevices(SND_PCM_STREAM_CAPTURE).size()); }

UINT AlsaAudioSystem::waveOutGetNumDevs() { return static_cast<UINT>(ListPcmDevices(SND_PCM_STREAM_PLAYBACK).size()); }

bool AlsaAudioSystem::describeWaveDevice(Direction direction, UINT deviceId, WaveDeviceInfo& info) {
  PcmDevice device;
  if (!Find(deviceId, direction == Direction::In ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK, device))
    return false;
  info = {std::move(device.name), kAllStandardFormats, SND_LIB_VERSION};
  return true;
}

DeviceAudioSystem::Opener<CaptureSource> AlsaAudioSystem::captureOpener(UINT deviceId, const WAVEFORMATEX& format) {
  return PcmOpener<AlsaCaptureSource, CaptureSource>(deviceId, SND_PCM_STREAM_CAPTURE, format);
}

DeviceAudioSystem::Opener<PlaybackSink> AlsaAudioSystem::playbackOpener(UINT deviceId, const WAVEFORMATEX& format) {
  return PcmOpener<AlsaPlaybackSink, PlaybackSink>(deviceId, SND_PCM_STREAM_PLAYBACK, format);
}

UINT AlsaAudioSystem::mixerGetNumDevs() { return AlsaMixer::Count(); }

DeviceAudioSystem::Opener<MixerDevice> AlsaAudioSystem::mixerOpener(UINT deviceId) {
  return [deviceId](std::unique_ptr<MixerDevice>& mixer, std::string& why) {
    return AlsaMixer::Open(deviceId, mixer, why);
  };
}

}  // namespace platform::alsa
