// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/Audio.h"

#include <QIODevice>

#include "audio/MixerSettings.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/AudioSystem.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/alsa/DefaultAudioSystem.h"

namespace audio {

using namespace platform;

namespace {
// Both halves start out as the component's declared defaults.
void InitHalf(TAudioSettings& half, TAudio* owner) {
  half.AudioComponent = owner;
  half.Active.store(false);
  half.BitsPerSample = TBPS::_8;
  half.NoSamples = 8192;
  half.Channels = TChannels::Mono;
  half.SampleRate = 11025;
}
}  // namespace

TAudio::TAudio(QObject* owner, AudioSystem* system) : QObject(owner) {
  if (system == nullptr) {
    ownSystem_ = CreateDefaultAudioSystem();
    system = ownSystem_.get();
  }
  system_ = system;

  AudioDeviceID = -1;
  SeparateCtrls = false;
  Version = kVersion;

  Recorder = new TRecorder;
  InitHalf(*Recorder, this);
  Recorder->NotifyWindow = new platform::NotifyWindow([r = Recorder](Message& m) { r->WndProc(m); });

  Player = new TPlayer;
  InitHalf(*Player, this);
  Player->Stream = nullptr;
  Player->RestoreFormat = false;
  Player->QueuedCount = 0;
  Player->RefillWindow = new platform::NotifyWindow([p = Player](Message& m) { p->RefillWndProc(m); });
  Player->CloseWindow = new platform::NotifyWindow([p = Player](Message& m) { p->CloseWndProc(m); });

  NotifyWindow = new platform::NotifyWindow([this](Message& m) { WndProc(m); });
  WaveFormatSize = sizeof(WAVEFORMATEX);

  Mixer = new TMixerSettings;
  Mixer->MixerReady = false;
  Mixer->AudioComponent = this;
  MixerDeviceID = 0;
  Mixer->Lines = nullptr;
  Mixer->MixerWindow = new platform::NotifyWindow([m = Mixer](Message& msg) { m->WndProc(msg); });
  if (Mixer->EnumerateMixer(MixerDeviceID)) Mixer->MixerReady = true;

  ErrorMessage.clear();

  if (system_->waveInGetNumDevs() > 0 && Recorder->AllocateBuffers() && system_->waveOutGetNumDevs() > 0)
    Player->AllocateBuffers();
}

TAudio::~TAudio() {
  Player->Stop();
  Recorder->Stop();
  // A half whose stop failed (a reset, unprepare or close was refused) still
  // has its device open, which would go on calling back into, posting to and
  // filling what is freed below: it is closed by force.
  if (Recorder->DeviceOpen) {
    system_->waveInForceClose(Recorder->WaveIn);
    Recorder->DeviceOpen = false;
  }
  if (Player->DeviceOpen) {
    system_->waveOutForceClose(Player->WaveOutHandle);
    Player->DeviceOpen = false;
  }

  // The mixer: its device and records, then its window.
  Mixer->ReleaseLines();
  delete Mixer->MixerWindow;
  Mixer->MixerWindow = nullptr;
  delete Mixer;
  Mixer = nullptr;

  Recorder->FreeBuffers();
  delete Recorder->NotifyWindow;
  delete Recorder;
  Recorder = nullptr;

  Player->FreeBuffers();
  delete Player->RefillWindow;
  delete Player->CloseWindow;
  delete Player;
  Player = nullptr;

  delete NotifyWindow;
  NotifyWindow = nullptr;
}

void TAudio::SetAudioDeviceID(std::int32_t Value) {
  if (Value == AudioDeviceID) return;
  AudioDeviceID = Value <= 9 ? Value : -1;
  if (Recorder->StopForRebuild()) {
    Recorder->FreeBuffers();
    Recorder->AllocateBuffers();
  }
  if (Player->StopForRebuild()) {
    Player->FreeBuffers();
    Player->AllocateBuffers();
  }
}

void TAudio::SetMixerDeviceID(std::int32_t Value) {
  if (Value == MixerDeviceID) return;
  MixerDeviceID = Value;
  if (Mixer->EnumerateMixer(Value)) Mixer->MixerReady = true;
}

void TAudio::SetVersion(const std::string&) { Version = kVersion; }

void TAudio::WndProc(Message& Message) {
  Message.Result = 0;
  switch (Message.Msg) {
    case WM_QUERYENDSESSION:
      // The session is ending: stop both halves and free everything now.
      // The owner's QPointer to the component is cleared by the deletion.
      delete this;
      break;
    case MM_WOM_OPEN:
      Player->Active.store(true);
      break;
    case MM_WOM_CLOSE:
      Player->Active.store(false);
      break;
    case MM_WOM_DONE:
      Player->BufferDone(reinterpret_cast<HWAVEOUT>(Message.WParam));
      break;
    case MM_WIM_OPEN:
      Recorder->Active.store(true);
      break;
    case MM_WIM_CLOSE:
      Recorder->Active.store(false);
      break;
    case MM_WIM_DATA:
      Recorder->BlockStep(this);
      break;
    default:
      break;
  }
}

}  // namespace audio
