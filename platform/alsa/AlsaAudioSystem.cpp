#include "platform/alsa/AlsaAudioSystem.h"

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
  return [deviceId, format](std::unique_ptr<CaptureSource>& source, std::string& why) -> MMRESULT {
    PcmDevice device;
    // The device was listed a moment ago; a card unplugged since is gone.
    if (!Find(deviceId, SND_PCM_STREAM_CAPTURE, device)) {
      why = "the device is no longer there";
      return MMSYSERR_BADDEVICEID;
    }
    std::unique_ptr<AlsaCaptureSource> capture;
    const MMRESULT rc = AlsaCaptureSource::Open(device.pcm, device.card, format, capture, why);
    source = std::move(capture);
    return rc;
  };
}

DeviceAudioSystem::Opener<PlaybackSink> AlsaAudioSystem::playbackOpener(UINT deviceId, const WAVEFORMATEX& format) {
  return [deviceId, format](std::unique_ptr<PlaybackSink>& sink, std::string& why) -> MMRESULT {
    PcmDevice device;
    if (!Find(deviceId, SND_PCM_STREAM_PLAYBACK, device)) {
      why = "the device is no longer there";
      return MMSYSERR_BADDEVICEID;
    }
    std::unique_ptr<AlsaPlaybackSink> playback;
    const MMRESULT rc = AlsaPlaybackSink::Open(device.pcm, device.card, format, playback, why);
    sink = std::move(playback);
    return rc;
  };
}

UINT AlsaAudioSystem::mixerGetNumDevs() { return AlsaMixer::Count(); }

DeviceAudioSystem::Opener<MixerDevice> AlsaAudioSystem::mixerOpener(UINT deviceId) {
  return [deviceId](std::unique_ptr<MixerDevice>& mixer, std::string& why) { return AlsaMixer::Open(deviceId, mixer, why); };
}

}  // namespace platform::alsa
