#include "platform/alsa/AlsaAudioSystem.h"

#include <alsa/asoundlib.h>
#include <cstdarg>
#include <cstring>
#include <mutex>

#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaCaptureSource.h"
#include "platform/alsa/DefaultAudioSystem.h"

namespace platform::alsa {

namespace {

void Silent(const char*, int, const char*, int, const char*, ...) {}

snd_pcm_stream_t Stream(bool capture) { return capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK; }

bool DefaultUsable(bool capture) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", Stream(capture), SND_PCM_NONBLOCK) < 0) return false;
  snd_pcm_close(pcm);
  return true;
}

}  // namespace

AlsaAudioSystem::AlsaAudioSystem() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&Silent); });
}

std::vector<AlsaAudioSystem::Device> AlsaAudioSystem::devices(bool capture) const {
  std::vector<Device> out;
  for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) {
    snd_ctl_t* ctl = nullptr;
    const std::string hw = "hw:" + std::to_string(card);
    if (snd_ctl_open(&ctl, hw.c_str(), 0) < 0) continue;
    snd_ctl_card_info_t* info;
    snd_ctl_card_info_alloca(&info);
    const std::string cardName = snd_ctl_card_info(ctl, info) >= 0 ? snd_ctl_card_info_get_name(info) : hw;
    for (int dev = -1; snd_ctl_pcm_next_device(ctl, &dev) == 0 && dev >= 0;) {
      snd_pcm_info_t* pcm;
      snd_pcm_info_alloca(&pcm);
      snd_pcm_info_set_device(pcm, static_cast<unsigned>(dev));
      snd_pcm_info_set_subdevice(pcm, 0);
      snd_pcm_info_set_stream(pcm, Stream(capture));
      if (snd_ctl_pcm_info(ctl, pcm) < 0) continue;
      const std::string id = "plughw:" + std::to_string(card) + "," + std::to_string(dev);
      out.push_back({id, cardName + ": " + snd_pcm_info_get_name(pcm) + " (" + id + ")"});
    }
    snd_ctl_close(ctl);
  }
  if (out.empty() && DefaultUsable(capture)) out.push_back({"default", "Default sound server (default)"});
  return out;
}

UINT AlsaAudioSystem::waveInGetNumDevs() { return static_cast<UINT>(devices(true).size()); }

UINT AlsaAudioSystem::waveOutGetNumDevs() { return static_cast<UINT>(devices(false).size()); }

MMRESULT AlsaAudioSystem::waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) {
  if (caps == nullptr || size != sizeof(WAVEINCAPSA)) return reason(MMSYSERR_INVALPARAM, {});
  std::string name = "Default input (default)";
  if (deviceId != WAVE_MAPPER) {
    const auto list = devices(true);
    if (deviceId >= list.size()) return reason(MMSYSERR_BADDEVICEID, {});
    name = list[deviceId].name;
  }
  *caps = WAVEINCAPSA{};
  std::strncpy(caps->szPname, name.c_str(), MAXPNAMELEN - 1);
  caps->wChannels = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaAudioSystem::openCaptureSource(UINT deviceId, const WAVEFORMATEX& format,
                                            std::unique_ptr<CaptureSource>& source) {
  std::string pcm = "default";
  if (deviceId != WAVE_MAPPER) {
    const auto list = devices(true);
    if (deviceId >= list.size()) return reason(MMSYSERR_BADDEVICEID, {});
    pcm = list[deviceId].pcm;
  }
  std::string why;
  const MMRESULT rc = AlsaCaptureSource::Open(pcm, format, source, why);
  return rc == MMSYSERR_NOERROR ? rc : reason(rc, why);
}

}  // namespace platform::alsa

namespace platform {

std::unique_ptr<AudioSystem> CreateDefaultAudioSystem() { return std::make_unique<alsa::AlsaAudioSystem>(); }

}  // namespace platform
