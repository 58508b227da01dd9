// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TAudio: the non-visual audio component. It owns a recorder (wave input),
// a player (wave output) and mixer access, and the hidden windows through
// which device notifications reach the GUI thread. Operations return a
// Boolean and leave the text of the last failure in ErrorMessage; nothing is
// thrown, logged or shown.
//
// It is a QObject owned by its parent (the framework's owned component), so
// an owner that keeps a QPointer to it sees the reference cleared when the
// component destroys itself at the end of the desktop session.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/Events.h"
#include "audio/Object.h"
#include "platform/MessageQueue.h"
#include "platform/Types.h"

namespace platform {
class AudioSystem;
}

namespace audio {

class TRecorder;
class TPlayer;
class TMixerSettings;

inline constexpr const char* kVersion = "4.1 (32bit)";

class TAudio : public QObject, public TObject {
 public:
  std::string Version;
  // Wave device the recorder opens; -1 is the system's default device.
  std::int32_t AudioDeviceID = -1;
  // False: a format change on either half applies to both.
  bool SeparateCtrls = false;
  TNotifyAudioRecordEvent OnRecord;
  TRecorder* Recorder = nullptr;
  TNotifyBufferPlayedEvent OnBufferPlayed;
  TNotifyPlayedEvent OnPlayed;
  TPlayer* Player = nullptr;
  platform::HWND NotifyWindow = nullptr;
  std::uint32_t WaveFormatSize = 0;
  std::int32_t MixerDeviceID = 0;
  TNotifyMixerChange OnMixerChange;
  TMixerSettings* Mixer = nullptr;
  std::string ErrorMessage;
  int Tag = 0;

  // The devices come from `system`; without one, from the machine's sound
  // system (ALSA). The system must outlive the component.
  explicit TAudio(QObject* owner, platform::AudioSystem* system = nullptr);
  ~TAudio() override;

  void SetAudioDeviceID(std::int32_t Value);
  void SetMixerDeviceID(std::int32_t Value);
  void SetVersion(const std::string& Value);

  void WndProc(platform::Message& Message);

  platform::AudioSystem& System() const noexcept { return *system_; }

 private:
  std::unique_ptr<platform::AudioSystem> ownSystem_;
  platform::AudioSystem* system_ = nullptr;
};

}  // namespace audio
