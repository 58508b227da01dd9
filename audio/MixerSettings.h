// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TMixerSettings: the mixer half of the audio component. It opens the mixer
// device the component names, keeps what it read of the device's lines as a
// list of TMixDetails records, and reports control changes through the
// component's OnMixerChange.
#pragma once

#include <QStringList>
#include <string>

#include "audio/Object.h"
#include "platform/MessageQueue.h"
#include "platform/MixerTypes.h"
#include "platform/Types.h"

namespace audio {

class TAudio;

inline constexpr platform::DWORD NoneID = 65535;

struct TMixDetails {
  platform::WORD Destination = 65535;
  platform::WORD Source = 65535;
  std::string LineName;
  platform::DWORD VolumeID = NoneID;
  platform::DWORD MuteID = NoneID;
  platform::DWORD MeterID = NoneID;
  platform::WORD VolumeLeft = 0;
  platform::WORD VolumeRight = 0;
  platform::WORD MeterChannels = 0;
  platform::WORD LineFlags = 0;
  bool Muted = false;
  bool MonoVolume = false;
  bool SpeakerPath = false;
  bool HasControls = false;
  TMixDetails* Next = nullptr;
};

class TMixerSettings : public TObject {
 public:
  TAudio* AudioComponent = nullptr;
  platform::HMIXER MixerHandle = nullptr;
  TMixDetails* Lines = nullptr;
  bool MixerReady = false;
  platform::HWND MixerWindow = nullptr;
  QStringList Strings;

  ~TMixerSettings() override;

  // Opens mixer device deviceId and builds the list; true when every line
  // could be read.
  bool EnumerateMixer(std::int32_t deviceId);
  // Closes the device and releases every record.
  void ReleaseLines();

  // Handler of MixerWindow: reports control changes through OnMixerChange.
  void WndProc(platform::Message& Message);

 private:
  // Appends the record of one line and reads its controls; false when the
  // controls could not be read (the record stays, without them).
  bool AddLine(const platform::MIXERLINEA& line, bool speakers);
  // A new record after the last one.
  TMixDetails* Append();
};

}  // namespace audio
