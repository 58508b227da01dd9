// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/MixerSettings.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/Audio.h"
#include "platform/AudioSystem.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"

namespace audio {

using namespace platform;

namespace {
constexpr WORD kLineRecordFlags = 128;
constexpr WORD kMuteClears = 127;
constexpr WORD kMonoVolumeFlag = 64;

WORD Low16(std::uint64_t v) { return static_cast<WORD>(v & 0xFFFF); }
}  // namespace

TMixerSettings::~TMixerSettings() { ReleaseLines(); }

void TMixerSettings::ReleaseLines() {
  if (Lines != nullptr) AudioComponent->System().mixerClose(MixerHandle);
  while (Lines != nullptr) {
    TMixDetails* next = Lines->Next;
    delete Lines;
    Lines = next;
  }
  MixerHandle = nullptr;
}

TMixDetails* TMixerSettings::Append() {
  auto* record = new TMixDetails;
  if (Lines == nullptr) {
    Lines = record;
  } else {
    TMixDetails* last = Lines;
    while (last->Next != nullptr) last = last->Next;
    last->Next = record;
  }
  return record;
}

bool TMixerSettings::EnumerateMixer(std::int32_t deviceId) {
  AudioSystem& system = AudioComponent->System();
  ReleaseLines();
  if (system.mixerGetNumDevs() == 0) return false;

  // A failed query leaves the record empty rather than undefined: no name
  // and no destinations.
  MIXERCAPSA caps{};
  const UINT id = static_cast<UINT>(deviceId);
  system.mixerGetDevCapsA(id, &caps, sizeof(MIXERCAPSA));
  if (system.mixerOpen(&MixerHandle, id, reinterpret_cast<DWORD_PTR>(MixerWindow), 0, CALLBACK_WINDOW) !=
      MMSYSERR_NOERROR) {
    MixerHandle = nullptr;
    return false;
  }

  TMixDetails* device = Append();
  device->Destination = 65535;
  device->Source = 65535;
  device->LineName = std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
  device->VolumeID = device->MuteID = device->MeterID = NoneID;

  if (caps.cDestinations == 0) return false;
  for (DWORD d = 0; d < caps.cDestinations; ++d) {
    MIXERLINEA line{};
    line.cbStruct = sizeof(MIXERLINEA);
    line.dwDestination = d;
    line.dwSource = 0;
    if (system.mixerGetLineInfoA(MixerHandle, &line, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR) return false;
    const bool speakers = line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    AddLine(line, speakers);
    const DWORD sources = line.cConnections;
    for (DWORD s = 0; s < sources; ++s) {
      MIXERLINEA source{};
      source.cbStruct = sizeof(MIXERLINEA);
      source.dwDestination = d;
      source.dwSource = s;
      if (system.mixerGetLineInfoA(MixerHandle, &source, MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR) return false;
      AddLine(source, speakers);
    }
  }
  return true;
}

bool TMixerSettings::AddLine(const MIXERLINEA& line, bool speakers) {
  AudioSystem& system = AudioComponent->System();

  TMixDetails* previous = Lines;
  while (previous != nullptr && previous->Next != nullptr) previous = previous->Next;
  TMixDetails* record = Append();
  record->Destination = Low16(line.dwDestination);
  record->Source =
      previous != nullptr && previous->Destination == record->Destination ? static_cast<WORD>(previous->Source + 1) : 0;
  record->LineName = std::string(line.szName, strnlen(line.szName, sizeof line.szName));
  record->SpeakerPath = speakers;
  record->VolumeID = record->MuteID = record->MeterID = NoneID;
  record->LineFlags = kLineRecordFlags;

  if (line.cControls == 0) return true;

  // A line that reports no channels is read as one: its controls still
  // hold a value.
  const DWORD channels = std::max<DWORD>(line.cChannels, 1);
  // The block for this line's controls, and room for one value per channel
  // of the line, live until the line is done.
  std::unique_ptr<MIXERCONTROLA[]> block(new MIXERCONTROLA[line.cControls]{});
  std::vector<DWORD> values(channels);
  MIXERLINECONTROLSA controls{};
  controls.cbStruct = sizeof(MIXERLINECONTROLSA);
  controls.dwLineID = line.dwLineID;
  controls.cControls = line.cControls;
  controls.cbmxctrl = sizeof(MIXERCONTROLA);
  controls.pamxctrl = block.get();
  if (system.mixerGetLineControlsA(MixerHandle, &controls, MIXER_GETLINECONTROLSF_ALL) != MMSYSERR_NOERROR)
    return false;

  auto read = [&](DWORD controlId, DWORD channels) {
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof(MIXERCONTROLDETAILS);
    details.dwControlID = controlId;
    details.cChannels = channels;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = values.data();
    return system.mixerGetControlDetailsA(MixerHandle, &details, MIXER_GETCONTROLDETAILSF_VALUE) == 0;
  };

  for (DWORD i = 0; i < line.cControls; ++i) {
    const MIXERCONTROLA& control = block[i];
    switch (control.dwControlType) {
      case MIXERCONTROL_CONTROLTYPE_VOLUME:
        if (!read(control.dwControlID, channels)) break;
        record->VolumeID = control.dwControlID;
        record->VolumeLeft = Low16(values[0]);
        if (channels == 1) {
          record->MonoVolume = true;
          // A flag, set once: a second volume control on the line must not
          // carry into the line-record bit.
          record->LineFlags |= kMonoVolumeFlag;
        } else {
          record->VolumeRight = Low16(values[1]);
        }
        record->HasControls = true;
        break;
      case MIXERCONTROL_CONTROLTYPE_MUTE:
        if (!read(control.dwControlID, 1) || record->MuteID != NoneID) break;
        record->MuteID = control.dwControlID;
        record->Muted = values[0] != 0;
        record->HasControls = true;
        record->LineFlags &= kMuteClears;
        break;
      case MIXERCONTROL_CONTROLTYPE_PEAKMETER:
        if (!read(control.dwControlID, channels)) break;
        record->MeterID = control.dwControlID;
        record->MeterChannels = channels == 1 ? 1 : 2;
        break;
      default:
        break;
    }
  }
  return true;
}

void TMixerSettings::WndProc(Message& Message) {
  Message.Result = 0;
  if (Message.Msg != MM_MIXM_CONTROL_CHANGE) return;
  TAudio& owner = *AudioComponent;
  if (!MixerReady || !owner.OnMixerChange) return;

  owner.OnMixerChange(this, Low16(Message.WParam), Low16(static_cast<std::uint64_t>(Message.LParam)));
  // The control ID arrives as a signed 32-bit value: a negative one names
  // no control of the list.
  const auto id = static_cast<std::int32_t>(static_cast<std::uint32_t>(Message.LParam));
  if (id < 0) return;
  for (TMixDetails* r = Lines; r != nullptr; r = r->Next) {
    if (r->VolumeID == static_cast<DWORD>(id) || r->MuteID == static_cast<DWORD>(id)) {
      // The last thing done here: the handler may enumerate again.
      owner.OnMixerChange(this, r->Destination, r->Source);
      return;
    }
  }
}

}  // namespace audio
