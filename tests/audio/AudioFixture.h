// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A component on the simulated back-end with the main window's settings.
#pragma once

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/NotifyWindow.h"
#include "platform/sim/SimAudioSystem.h"

namespace audio_test {

inline void ApplyMainWindowSettings(audio::TAudio& a) {
  a.Player->SetBitsPerSample(audio::TBPS::_16);
  a.Player->SetSampleRate(44100);
  a.Recorder->SetBitsPerSample(audio::TBPS::_16);
  a.Recorder->SetSampleRate(44100);
  a.Recorder->SetNoSamples(2048);
  a.Recorder->SetTrigLevel(0);
  a.Recorder->Triggered = false;
}

}  // namespace audio_test
