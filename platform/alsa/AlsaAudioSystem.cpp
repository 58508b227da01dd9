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

MMRESULT AlsaAudioSystem::openCaptureSource(UINT deviceId, const WAVEFORMATEX& format,
                                            std::unique_ptr<CaptureSource>& source) {
  PcmDevice device;
  // The device was listed a moment ago; a card unplugged since is gone.
  if (!Find(deviceId, SND_PCM_STREAM_CAPTURE, device))
    return reason(MMSYSERR_BADDEVICEID, "the device is no longer there");
  std::unique_ptr<AlsaCaptureSource> capture;
  std::string why;
  if (const MMRESULT rc = AlsaCaptureSource::Open(device.pcm, device.card, format, capture, why);
      rc != MMSYSERR_NOERROR)
    return reason(rc, std::move(why));
  source = std::move(capture);
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaAudioSystem::openPlaybackSink(UINT deviceId, const WAVEFORMATEX& format,
                                           std::unique_ptr<PlaybackSink>& sink) {
  PcmDevice device;
  if (!Find(deviceId, SND_PCM_STREAM_PLAYBACK, device))
    return reason(MMSYSERR_BADDEVICEID, "the device is no longer there");
  std::unique_ptr<AlsaPlaybackSink> playback;
  std::string why;
  if (const MMRESULT rc = AlsaPlaybackSink::Open(device.pcm, device.card, format, playback, why);
      rc != MMSYSERR_NOERROR)
    return reason(rc, std::move(why));
  sink = std::move(playback);
  return MMSYSERR_NOERROR;
}

UINT AlsaAudioSystem::mixerGetNumDevs() { return AlsaMixer::Count(); }

MMRESULT AlsaAudioSystem::openMixerDevice(UINT deviceId, std::unique_ptr<MixerDevice>& mixer) {
  std::string why;
  if (const MMRESULT rc = AlsaMixer::Open(deviceId, mixer, why); rc != MMSYSERR_NOERROR)
    return reason(rc, std::move(why));
  return MMSYSERR_NOERROR;
}

}  // namespace platform::alsa
