// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA back-end's mixer as a program walks it: opened, its destinations
// and their volume and mute found, controls read, the changes a window
// receives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaAudioSystem.h"

namespace platform::alsa {

// The volume and mute of a destination, found by walking the mixer as a
// program does.
struct Destination {
  DWORD lineId = 0;
  DWORD channels = 0;
  DWORD volumeId = 0;
  DWORD muteId = 0;
};

class MixerWalk {
 protected:
  HMIXER open(NotifyWindow* window) {
    HMIXER h = nullptr;
    const MMRESULT rc = system_.mixerOpen(&h, 0, reinterpret_cast<DWORD_PTR>(window), 0,
                                          window != nullptr ? CALLBACK_WINDOW : CALLBACK_NULL);
    EXPECT_EQ(rc, MMSYSERR_NOERROR) << text(rc);
    return h;
  }

  std::string text(MMRESULT code) {
    char buffer[512];
    system_.waveInGetErrorTextA(code, buffer, sizeof buffer);
    return buffer;
  }

  std::vector<MIXERCONTROLA> controls(HMIXER h, const MIXERLINEA& line) {
    std::vector<MIXERCONTROLA> all(line.cControls);
    if (all.empty()) return all;
    MIXERLINECONTROLSA lc{};
    lc.cbStruct = sizeof lc;
    lc.dwLineID = line.dwLineID;
    lc.cControls = line.cControls;
    lc.cbmxctrl = sizeof(MIXERCONTROLA);
    lc.pamxctrl = all.data();
    EXPECT_EQ(system_.mixerGetLineControlsA(h, &lc, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);
    return all;
  }

  MMRESULT read(HMIXER h, DWORD id, DWORD channels, DWORD* values) {
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof d;
    d.dwControlID = id;
    d.cChannels = channels;
    d.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    d.paDetails = values;
    return system_.mixerGetControlDetailsA(h, &d, MIXER_GETCONTROLDETAILSF_VALUE);
  }

  // Every destination's volume and mute, in destination order; the sources
  // are walked too, each of their controls read.
  std::vector<std::pair<DWORD, Destination>> walk(HMIXER h) {
    std::vector<std::pair<DWORD, Destination>> found;
    for (DWORD d = 0;; ++d) {
      MIXERLINEA line{};
      line.cbStruct = sizeof line;
      line.dwDestination = d;
      if (system_.mixerGetLineInfoA(h, &line, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR) break;
      Destination dest{line.dwLineID, line.cChannels, 0, 0};
      for (const MIXERCONTROLA& c : controls(h, line)) {
        if (c.dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME) dest.volumeId = c.dwControlID;
        if (c.dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE) dest.muteId = c.dwControlID;
        EXPECT_NE(c.dwControlID, 65535u);
      }
      for (DWORD s = 0; s < line.cConnections; ++s) {
        MIXERLINEA source{};
        source.cbStruct = sizeof source;
        source.dwDestination = d;
        source.dwSource = s;
        EXPECT_EQ(system_.mixerGetLineInfoA(h, &source, MIXER_GETLINEINFOF_SOURCE), MMSYSERR_NOERROR);
        for (const MIXERCONTROLA& c : controls(h, source)) {
          DWORD values[2] = {};
          EXPECT_EQ(read(h, c.dwControlID, source.cChannels, values), MMSYSERR_NOERROR) << source.szName;
        }
      }
      found.emplace_back(line.dwComponentType, dest);
    }
    return found;
  }

  AlsaAudioSystem system_;
};

// The control changes a window received.
struct Changes {
  std::vector<Message> messages;
  NotifyWindow window{[this](Message& m) { messages.push_back(m); }};
  std::size_t of(DWORD id) const {
    std::size_t n = 0;
    for (const Message& m : messages) n += m.Msg == MM_MIXM_CONTROL_CHANGE && m.LParam == static_cast<LPARAM>(id);
    return n;
  }
};

}  // namespace platform::alsa
