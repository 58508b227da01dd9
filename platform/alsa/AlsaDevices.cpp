// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/AlsaDevices.h"

#include <memory>
#include <string_view>

#include "platform/AudioSystem.h"
#include "platform/BoundedCall.h"
#include "platform/alsa/AlsaCheck.h"

namespace platform::alsa {
namespace {

struct CtlCloser {
  void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};
using Ctl = std::unique_ptr<snd_ctl_t, CtlCloser>;

void ListCardDevices(int card, snd_pcm_stream_t stream, std::vector<PcmDevice>& out) {
  AlsaCheck check;
  const std::string ctlName = "hw:" + std::to_string(card);
  snd_ctl_t* raw = nullptr;
  if (!check(snd_ctl_open(&raw, ctlName.c_str(), 0), "snd_ctl_open")) return;
  const Ctl ctl(raw);

  snd_ctl_card_info_t* cardInfo;
  snd_ctl_card_info_alloca(&cardInfo);
  if (!check(snd_ctl_card_info(ctl.get(), cardInfo), "snd_ctl_card_info")) return;
  const std::string cardName = snd_ctl_card_info_get_name(cardInfo);

  snd_pcm_info_t* pcmInfo;
  snd_pcm_info_alloca(&pcmInfo);
  int device = -1;
  while (check(snd_ctl_pcm_next_device(ctl.get(), &device), "snd_ctl_pcm_next_device") && device >= 0) {
    snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
    snd_pcm_info_set_subdevice(pcmInfo, 0);
    snd_pcm_info_set_stream(pcmInfo, stream);
    // A device without this direction answers -ENOENT: not one of ours.
    if (!check(snd_ctl_pcm_info(ctl.get(), pcmInfo), "snd_ctl_pcm_info")) continue;
    const std::string pcm = "plughw:" + std::to_string(card) + "," + std::to_string(device);
    out.push_back({pcm, cardName + ": " + snd_pcm_info_get_name(pcmInfo) + " (" + pcm + ")", true});
  }
}

// The description ALSA's configuration gives a PCM ("PulseAudio Sound
// Server"), or empty.
std::string Description(std::string_view pcm) {
  void** hints = nullptr;
  if (AlsaCheck check; !check(snd_device_name_hint(-1, "pcm", &hints), "snd_device_name_hint")) return {};
  std::string description;
  for (void** h = hints; *h != nullptr && description.empty(); ++h) {
    char* name = snd_device_name_get_hint(*h, "NAME");
    if (name != nullptr && pcm == name) {
      if (char* desc = snd_device_name_get_hint(*h, "DESC")) {
        description = desc;
        std::free(desc);
      }
    }
    std::free(name);
  }
  snd_device_name_free_hint(hints);
  // Descriptions may run over lines ("Default ALSA Output\n(currently ...)").
  for (char& c : description)
    if (c == '\n') c = ' ';
  return description;
}

// A sound server that does not answer is taken as not there.
bool Usable(const char* pcm, snd_pcm_stream_t stream) {
  static BoundedProbe probe;
  // The probe may outlive this call: it keeps its own copy of the name.
  return probe.ask(kDeviceAnswerLimit, [name = std::string(pcm), stream] {
    snd_pcm_t* handle = nullptr;
    if (AlsaCheck check; !check(snd_pcm_open(&handle, name.c_str(), stream, SND_PCM_NONBLOCK), "snd_pcm_open"))
      return false;
    snd_pcm_close(handle);
    return true;
  }) == BoundedProbe::Answer::Yes;
}

PcmDevice Named(std::string pcm, std::string_view fallback) {
  std::string description = Description(pcm);
  if (description.empty()) description = fallback;
  return {pcm, description + " (" + pcm + ")", false};
}

}  // namespace

std::vector<PcmDevice> ListPcmDevices(snd_pcm_stream_t stream) {
  SilenceAlsaMessages();
  std::vector<PcmDevice> devices;
  for (int card = -1; snd_card_next(&card) >= 0 && card >= 0;) ListCardDevices(card, stream, devices);
  if (devices.empty()) {
    for (const char* server : {"pulse", "default"}) {
      if (Usable(server, stream)) {
        devices.push_back(Named(server, "Sound server"));
        break;
      }
    }
  }
  return devices;
}

PcmDevice DefaultPcmDevice() { return Named("default", "Default device"); }

}  // namespace platform::alsa
