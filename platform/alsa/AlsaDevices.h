// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The wave devices a user would recognise, as ALSA PCMs.
//
// Devices 0, 1, ... of a direction are, in this order:
// - every capture (or playback) PCM device of every sound card, by card
//   number and then device number, opened as plughw:CARD,DEV so that ALSA
//   converts format, channels and rate where the card cannot;
// - only when no card has such a device (a machine whose sound goes through
//   a sound server alone): the sound server's PCM, "pulse" where that is
//   usable, else "default" where that is, so that device 0 exists whenever
//   there is sound at all.
// The order is stable while the cards and the server stay as they are.
// WAVE_MAPPER is ALSA's "default", which on a desktop is the sound server.
//
// Listing opens nothing on the cards (only their control interface); the
// sound server's PCM is opened and closed once to learn that it is usable.
#pragma once

#include <alsa/asoundlib.h>

#include <string>
#include <vector>

namespace platform::alsa {

struct PcmDevice {
  std::string pcm;    // what snd_pcm_open is given, e.g. "plughw:0,0"
  std::string name;   // what a user reads, e.g. "HDA Intel PCH: ALC892 Analog (plughw:0,0)"
  bool card = false;  // a card's device (not the server or "default")
};

std::vector<PcmDevice> ListPcmDevices(snd_pcm_stream_t stream);

// ALSA's "default" PCM, the device of WAVE_MAPPER.
PcmDevice DefaultPcmDevice();

}  // namespace platform::alsa
