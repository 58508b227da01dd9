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

// Opens the listed device `deviceId` of `stream` as a `Pcm` (the capture
// source or the playback sink) in the format. Non-zero: the code the open
// reports, with the reason in `why`.
template <typename Pcm, typename Base>
MMRESULT OpenListed(UINT deviceId, snd_pcm_stream_t stream, const WAVEFORMATEX& format, std::unique_ptr<Base>& out,
                    std::string& why) {
  PcmDevice device;
  // The device was listed a moment ago; a card unplugged since is gone.
  if (!Find(deviceId, stream, device)) {
    why = "the device is no longer there";
    return MMSYSERR_BADDEVICEID;
  }
  auto opened = std::make_unique<Pcm>();
  const MMRESULT rc = opened->open(device.pcm, device.card, format, why);
  if (rc == MMSYSERR_NOERROR) out = std::move(opened);
  return rc;
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
  std::string why;
  const MMRESULT rc = OpenListed<AlsaCaptureSource>(deviceId, SND_PCM_STREAM_CAPTURE, format, source, why);
  return rc == MMSYSERR_NOERROR ? rc : reason(rc, std::move(why));
}

MMRESULT AlsaAudioSystem::openPlaybackSink(UINT deviceId, const WAVEFORMATEX& format,
                                           std::unique_ptr<PlaybackSink>& sink) {
  std::string why;
  const MMRESULT rc = OpenListed<AlsaPlaybackSink>(deviceId, SND_PCM_STREAM_PLAYBACK, format, sink, why);
  return rc == MMSYSERR_NOERROR ? rc : reason(rc, std::move(why));
}

UINT AlsaAudioSystem::mixerGetNumDevs() { return AlsaMixer::Count(); }

MMRESULT AlsaAudioSystem::openMixerDevice(UINT deviceId, std::unique_ptr<MixerDevice>& mixer) {
  std::string why;
  if (const MMRESULT rc = AlsaMixer::Open(deviceId, mixer, why); rc != MMSYSERR_NOERROR)
    return reason(rc, std::move(why));
  return MMSYSERR_NOERROR;
}

}  // namespace platform::alsa
