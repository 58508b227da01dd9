// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/AlsaMixer.h"

#include <cerrno>
#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/AudioSystem.h"
#include "platform/BoundedCall.h"
#include "platform/ResultCodes.h"
#include "platform/StartThread.h"

namespace platform::alsa {
namespace {

// poll() wakes at least this often, so that a sound server that went away
// without a sign on the descriptors is noticed and the thread ends.
constexpr int kPollMs = 500;

// A mixer device: the control interface it reads, whether that is a sound
// card's, and whether it answered when it was listed.
struct MixerControl {
  std::string ctl;
  bool card = false;
  bool answers = true;
};

// Whether ALSA's "default" control is a sound server's: a plugin (the pulse
// or pipewire one) that opens, rather than a card's own interface (which
// never waits). A server that is not running does not open (No); one that
// does not answer (None) is there all the same.
BoundedProbe::Answer ServerAnswer() {
  static BoundedProbe probe;
  return probe.ask(kDeviceAnswerLimit, [] {
    snd_ctl_t* ctl = nullptr;
    if (AlsaCheck check; !check(snd_ctl_open(&ctl, "default", SND_CTL_NONBLOCK), "snd_ctl_open(default)")) return false;
    const bool server = snd_ctl_type(ctl) != SND_CTL_TYPE_HW;
    snd_ctl_close(ctl);
    return server;
  });
}

// The mixer devices in device order: the sound server's first where one
// runs, answering or not, so that no card takes its number; then the cards
// by card number.
std::vector<MixerControl> ListControls() {
  SilenceAlsaMessages();
  std::vector<MixerControl> controls;
  if (const BoundedProbe::Answer server = ServerAnswer(); server != BoundedProbe::Answer::No)
    controls.push_back({"default", false, server == BoundedProbe::Answer::Yes});
  for (int card = -1; snd_card_next(&card) >= 0 && card >= 0;)
    controls.push_back({"hw:" + std::to_string(card), true, true});
  return controls;
}

struct Opened {
  snd_mixer_t* mixer = nullptr;
  ~Opened() {
    if (mixer != nullptr) snd_mixer_close(mixer);
  }
  snd_mixer_t* release() { return std::exchange(mixer, nullptr); }
};

// A simple-mixer handle on the control interface `ctl`, with its elements
// loaded.
bool OpenHandle(const std::string& ctl, Opened& out, AlsaCheck& check) {
  return check(snd_mixer_open(&out.mixer, 0), "snd_mixer_open") &&
         check(snd_mixer_attach(out.mixer, ctl.c_str()), "snd_mixer_attach(" + ctl + ")") &&
         check(snd_mixer_selem_register(out.mixer, nullptr, nullptr), "snd_mixer_selem_register") &&
         check(snd_mixer_load(out.mixer), "snd_mixer_load(" + ctl + ")");
}

// The name the control interface gives for its card.
std::string CardName(snd_mixer_t* mixer, const std::string& ctl, AlsaCheck& check) {
  snd_hctl_t* hctl = nullptr;
  if (!check(snd_mixer_get_hctl(mixer, ctl.c_str(), &hctl), "snd_mixer_get_hctl")) return {};
  snd_ctl_card_info_t* info;
  snd_ctl_card_info_alloca(&info);
  if (!check(snd_ctl_card_info(snd_hctl_ctl(hctl), info), "snd_ctl_card_info")) return {};
  return snd_ctl_card_info_get_name(info);
}

bool HasVolume(snd_mixer_elem_t* e, bool capture) {
  return capture ? snd_mixer_selem_has_capture_volume(e) != 0
                 : snd_mixer_selem_has_playback_volume(e) != 0 || snd_mixer_selem_has_common_volume(e) != 0;
}

bool HasSwitch(snd_mixer_elem_t* e, bool capture) {
  return capture ? snd_mixer_selem_has_capture_switch(e) != 0
                 : snd_mixer_selem_has_playback_switch(e) != 0 || snd_mixer_selem_has_common_switch(e) != 0;
}

bool Stereo(snd_mixer_elem_t* e, bool capture) {
  return capture
             ? !snd_mixer_selem_is_capture_mono(e) && snd_mixer_selem_has_capture_channel(e, SND_MIXER_SCHN_FRONT_RIGHT)
             : !snd_mixer_selem_is_playback_mono(e) &&
                   snd_mixer_selem_has_playback_channel(e, SND_MIXER_SCHN_FRONT_RIGHT);
}

// "Mic", or "Mic 1" for the second element of that name.
std::string ElementName(snd_mixer_elem_t* e) {
  std::string name = snd_mixer_selem_get_name(e);
  if (const unsigned index = snd_mixer_selem_get_index(e); index != 0) name += " " + std::to_string(index);
  return name;
}

// What a source line is, read from its element's name as drivers spell them.
DWORD SourceType(std::string_view name) {
  auto has = [name](std::string_view word) { return name.find(word) != std::string_view::npos; };
  if (has("PCM") || has("Wave")) return MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
  if (has("Mic")) return MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
  if (has("Line")) return MIXERLINE_COMPONENTTYPE_SRC_LINE;
  if (has("CD")) return MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
  if (has("Beep") || has("PC Speaker")) return MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER;
  if (has("Aux")) return MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY;
  if (has("IEC958") || has("S/PDIF") || has("Digital")) return MIXERLINE_COMPONENTTYPE_SRC_DIGITAL;
  if (has("Analog")) return MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
  return MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
}

DWORD ControlId(std::size_t position, bool capture, bool mute) {
  return 0x10000u + static_cast<DWORD>(position << 2 | (capture ? 2u : 0u) | (mute ? 1u : 0u));
}

DWORD Scale(long raw, long minimum, long maximum) {
  if (maximum <= minimum || raw <= minimum) return 0;
  if (raw >= maximum) return 65535;
  const std::int64_t range = maximum - minimum;
  return static_cast<DWORD>(((raw - minimum) * std::int64_t{65535} + range / 2) / range);
}

}  // namespace

UINT AlsaMixer::Count() { return static_cast<UINT>(ListControls().size()); }

MMRESULT AlsaMixer::Open(UINT deviceId, std::unique_ptr<MixerDevice>& mixer, std::string& why) {
  const std::vector<MixerControl> controls = ListControls();
  if (deviceId >= controls.size()) {
    why = "the device is no longer there";
    return MMSYSERR_BADDEVICEID;
  }
  const auto& [ctl, card, answers] = controls[deviceId];
  if (!answers) {
    // Opening it would wait for the server as the listing did.
    why = NoAnswerReason();
    return MMSYSERR_NODRIVER;
  }
  AlsaCheck check;
  Opened reads, events;
  if (!OpenHandle(ctl, reads, check) || !OpenHandle(ctl, events, check)) {
    why = check.detail();
    return OpenFailureCode(check.error(), card);
  }

  MixerDescription description;
  description.name = CardName(reads.mixer, ctl, check);
  if (!card) description.name = "Sound server (" + (description.name.empty() ? ctl : description.name) + ")";

  std::vector<Element> elements;
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(reads.mixer); e != nullptr; e = snd_mixer_elem_next(e))
    elements.push_back({nullptr, e, {}, 0, {}});

  // The line of element `p` on one side, its controls added to the element.
  auto line = [&](std::size_t p, bool capture, DWORD componentType) {
    Element& element = elements[p];
    snd_mixer_elem_t* e = element.elem;
    MixerLineInfo info;
    info.componentType = componentType;
    info.name = ElementName(e);
    info.shortName = info.name.substr(0, MIXER_SHORT_NAME_CHARS - 1);
    info.active = snd_mixer_selem_is_active(e) != 0;
    const bool stereo = Stereo(e, capture);
    info.channels = stereo ? 2 : 1;
    if (HasVolume(e, capture)) {
      long minimum = 0, maximum = 0;
      if (capture)
        snd_mixer_selem_get_capture_volume_range(e, &minimum, &maximum);
      else
        snd_mixer_selem_get_playback_volume_range(e, &minimum, &maximum);
      const DWORD id = ControlId(p, capture, false);
      const auto range = static_cast<std::uint64_t>(maximum > minimum ? maximum - minimum : 0);
      info.controls.push_back({id, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume", info.name + " Volume", 0, 65535,
                               static_cast<DWORD>(range < 65535 ? range + 1 : 65536)});
      element.controls[element.count++] = {id, capture, false, stereo, minimum, maximum};
    }
    if (HasSwitch(e, capture)) {
      const DWORD id = ControlId(p, capture, true);
      info.controls.push_back({id, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute", info.name + " Mute", 0, 1, 2});
      element.controls[element.count++] = {id, capture, true, stereo, 0, 1};
    }
    return info;
  };

  for (const bool capture : {false, true}) {
    std::vector<std::size_t> side;
    for (std::size_t p = 0; p < elements.size(); ++p)
      if (HasVolume(elements[p].elem, capture) || HasSwitch(elements[p].elem, capture)) side.push_back(p);
    if (side.empty()) continue;
    const std::string_view mainName = capture ? "Capture" : "Master";
    std::size_t main = side.front();
    for (const std::size_t p : side)
      if (mainName == snd_mixer_selem_get_name(elements[p].elem) && snd_mixer_selem_get_index(elements[p].elem) == 0) {
        main = p;
        break;
      }
    MixerDestinationInfo destination;
    destination.line =
        line(main, capture, capture ? MIXERLINE_COMPONENTTYPE_DST_WAVEIN : MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
    for (const std::size_t p : side)
      if (p != main) {
        const std::string name = ElementName(elements[p].elem);
        destination.sources.push_back(line(p, capture, SourceType(name)));
      }
    description.destinations.push_back(std::move(destination));
  }
  std::erase_if(elements, [](const Element& e) { return e.count == 0; });

  const int count = snd_mixer_poll_descriptors_count(events.mixer);
  if (!check(count, "snd_mixer_poll_descriptors_count")) {
    why = check.detail();
    return MMSYSERR_NODRIVER;
  }
  std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
  if (!check(snd_mixer_poll_descriptors(events.mixer, fds.data(), static_cast<unsigned>(count)),
             "snd_mixer_poll_descriptors")) {
    why = check.detail();
    return MMSYSERR_NODRIVER;
  }

  std::unique_ptr<AlsaMixer> opened(new AlsaMixer(std::move(description), Handle(reads.release()),
                                                  Handle(events.release()), std::move(elements), std::move(fds)));
  if (!opened->waker_.valid()) {
    why = "no event descriptor for the mixer's thread";
    return MMSYSERR_NOMEM;
  }
  mixer = std::move(opened);
  return MMSYSERR_NOERROR;
}

AlsaMixer::AlsaMixer(MixerDescription description, Handle reads, Handle events, std::vector<Element> elements,
                     std::vector<pollfd> fds)
    : MixerDevice(std::move(description)),
      reads_(std::move(reads)),
      events_(std::move(events)),
      elements_(std::move(elements)),
      fds_(std::move(fds)) {
  // The event thread's copy of each element: the one of the same name and
  // index in its handle, with the values it has now.
  snd_mixer_selem_id_t* sid;
  snd_mixer_selem_id_alloca(&sid);
  watched_.reserve(elements_.size());
  for (Element& element : elements_) {
    element.mixer = this;
    snd_mixer_elem_set_callback_private(element.elem, &element);
    snd_mixer_elem_set_callback(element.elem, OnReadElement);
    snd_mixer_selem_get_id(element.elem, sid);
    Element copy = element;
    copy.elem = snd_mixer_find_selem(events_.get(), sid);
    if (copy.elem == nullptr) continue;
    for (std::size_t c = 0; c < copy.count; ++c)
      if (Read(copy.elem, copy.controls[c], copy.seen[c]) < 0) copy.seen[c] = {};
    watched_.push_back(copy);
  }
  for (Element& element : watched_) {
    snd_mixer_elem_set_callback_private(element.elem, &element);
    snd_mixer_elem_set_callback(element.elem, OnWatchedElement);
  }
  fds_.back() = {waker_.fd(), POLLIN, 0};
}

AlsaMixer::~AlsaMixer() {
  join();
  // Closing the handles removes their elements, which calls the callbacks
  // once more; the element records are still there for them.
  events_.reset();
  reads_.reset();
}

int AlsaMixer::Read(snd_mixer_elem_t* e, const Control& c, std::array<DWORD, 2>& values) {
  for (std::size_t i = 0; i < 2; ++i) {
    const snd_mixer_selem_channel_id_t channel =
        c.stereo && i == 1 ? SND_MIXER_SCHN_FRONT_RIGHT : SND_MIXER_SCHN_FRONT_LEFT;
    int rc;
    if (c.mute) {
      int on = 0;
      rc = c.capture ? snd_mixer_selem_get_capture_switch(e, channel, &on)
                     : snd_mixer_selem_get_playback_switch(e, channel, &on);
      values[i] = on ? 0 : 1;
    } else {
      long raw = 0;
      rc = c.capture ? snd_mixer_selem_get_capture_volume(e, channel, &raw)
                     : snd_mixer_selem_get_playback_volume(e, channel, &raw);
      values[i] = Scale(raw, c.minimum, c.maximum);
    }
    if (rc < 0) return rc;
  }
  return 0;
}

MMRESULT AlsaMixer::readValues(DWORD controlId, DWORD channels, DWORD* values) {
  // The handle's element values change only as its events are handled; a
  // card or server that is gone fails here.
  if (!check_(snd_mixer_handle_events(reads_.get()), "snd_mixer_handle_events")) return MMSYSERR_NODRIVER;
  for (const Element& element : elements_)
    for (std::size_t c = 0; c < element.count; ++c) {
      const Control& control = element.controls[c];
      if (control.id != controlId) continue;
      if (element.elem == nullptr) {
        check_.fail(-ENOENT, "the mixer element was removed");
        return MIXERR_INVALCONTROL;
      }
      std::array<DWORD, 2> both{};
      if (!check_(Read(element.elem, control, both),
                  control.mute ? "snd_mixer_selem_get_switch" : "snd_mixer_selem_get_volume"))
        return MMSYSERR_NODRIVER;
      values[0] = both[0];
      if (channels > 1) values[1] = both[1];
      return MMSYSERR_NOERROR;
    }
  return MIXERR_INVALCONTROL;
}

int AlsaMixer::OnReadElement(snd_mixer_elem_t* elem, unsigned int mask) {
  if (mask == SND_CTL_EVENT_MASK_REMOVE)
    static_cast<Element*>(snd_mixer_elem_get_callback_private(elem))->elem = nullptr;
  return 0;
}

int AlsaMixer::OnWatchedElement(snd_mixer_elem_t* elem, unsigned int mask) {
  auto* element = static_cast<Element*>(snd_mixer_elem_get_callback_private(elem));
  if (mask == SND_CTL_EVENT_MASK_REMOVE) {
    element->elem = nullptr;
    return 0;
  }
  for (std::size_t c = 0; c < element->count; ++c) {
    std::array<DWORD, 2> now{};
    if (Read(elem, element->controls[c], now) < 0 || now == element->seen[c]) continue;
    element->seen[c] = now;
    element->mixer->controlChanged(element->controls[c].id);
  }
  return 0;
}

bool AlsaMixer::startWatching() {
  return StartThread(thread_, [this] { watch(); });
}

void AlsaMixer::watch() {
  const pollfd& wake = fds_.back();
  for (;;) {
    const int ready = poll(fds_.data(), fds_.size(), kPollMs);
    if (ready < 0 && errno != EINTR) return;
    if (ready > 0 && (wake.revents & POLLIN)) return;
    // Changes on the descriptors, or the periodic look that finds a
    // connection lost without a sign on them: a failure ends watching.
    if (snd_mixer_handle_events(events_.get()) < 0) return;
  }
}

void AlsaMixer::join() {
  if (!thread_.joinable()) return;
  waker_.wake();
  thread_.join();
}

void AlsaMixer::stop() { join(); }

}  // namespace platform::alsa
