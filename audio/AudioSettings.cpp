// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/AudioSettings.h"

#include <new>
#include <string>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "audio/Texts.h"

namespace audio {

using namespace platform;

namespace {
// A device cannot take buffers above this size (the length field of the
// block is 16 bits wide throughout the component).
constexpr unsigned kMaxBufferBytes = 65535;
}  // namespace

bool TAudioSettings::AllocateBuffers() {
  storageFailure_.clear();
  auto fail = [this](std::string why) {
    AudioComponent->ErrorMessage = why;
    storageFailure_ = std::move(why);
    return false;
  };
  WaveFormat = nullptr;
  WaveFormat = reinterpret_cast<WAVEFORMATEX*>(new (std::nothrow) BYTE[AudioComponent->WaveFormatSize]);
  if (WaveFormat == nullptr) return fail(text::kNoMemoryFormat);
  const WORD channels = Channels == TChannels::Stereo ? 2 : 1;
  const WORD bits = BitsPerSample == TBPS::_16 ? 16 : 8;
  WaveFormat->wBitsPerSample = bits;
  WaveFormat->cbSize = 0;
  WaveFormat->wFormatTag = WAVE_FORMAT_PCM;
  WaveFormat->nChannels = channels;
  WaveFormat->nSamplesPerSec = SampleRate;
  WaveFormat->nBlockAlign = static_cast<WORD>(bits == 8 ? channels : channels * 2);
  WaveFormat->nAvgBytesPerSec = WaveFormat->nSamplesPerSec * WaveFormat->nBlockAlign;

  // A block that does not fit the 16-bit length would wrap to a short or
  // empty buffer (16384 stereo 16-bit frames give 0): refuse it instead.
  const unsigned bytes = unsigned{NoSamples} * WaveFormat->nBlockAlign;
  if (bytes == 0 || bytes > kMaxBufferBytes) {
    BufferBytes = 0;
    return fail(text::BufferSizeOutOfRange(NoSamples, WaveFormat->nBlockAlign, bytes));
  }
  BufferBytes = static_cast<WORD>(bytes);

  for (int i = 0; i < kRingSize; ++i) {
    Headers[i] = nullptr;
    Headers[i] = new (std::nothrow) WAVEHDR{};
    if (Headers[i] == nullptr) return fail(text::kNoMemoryHeader);
    Buffers[i] = nullptr;
    SplitBuffers[i] = nullptr;
    Buffers[i] = new (std::nothrow) BYTE[BufferBytes];
    if (Buffers[i] != nullptr) SplitBuffers[i] = new (std::nothrow) BYTE[BufferBytes / 2];
    if (Buffers[i] == nullptr || SplitBuffers[i] == nullptr) return fail(text::kNoMemoryBuffer);
    Headers[i]->lpData = reinterpret_cast<char*>(Buffers[i]);
  }
  return true;
}

bool TAudioSettings::StorageFailed() {
  if (storageFailure_.empty()) return false;
  AudioComponent->ErrorMessage = storageFailure_;
  return true;
}

void TAudioSettings::FreeBuffers() {
  if (WaveFormat == nullptr) return;
  delete[] reinterpret_cast<BYTE*>(WaveFormat);
  WaveFormat = nullptr;
  for (int i = 0; i < kRingSize; ++i) {
    delete[] Buffers[i];
    Buffers[i] = nullptr;
    delete[] SplitBuffers[i];
    SplitBuffers[i] = nullptr;
    delete Headers[i];
    Headers[i] = nullptr;
  }
}

void TAudioSettings::InitHeaders() {
  for (int i = 0; i < kRingSize; ++i) {
    // Storage whose building failed has no header here; the device then
    // refuses to prepare it.
    if (Headers[i] == nullptr) continue;
    WAVEHDR& h = *Headers[i];
    h.lpData = reinterpret_cast<char*>(Buffers[i]);
    h.dwBufferLength = BufferBytes;
    h.dwBytesRecorded = 0;
    h.dwUser = 0;
    StoreHeaderFlags(h, 0);
    h.dwLoops = 0;
    h.lpNext = nullptr;
    h.reserved = 0;
  }
}

bool TAudioSettings::StopForRebuild() {
  if (!DeviceOpen) return true;
  TAudio& owner = *AudioComponent;
  if (this == owner.Player)
    owner.Player->Stop();
  else
    owner.Recorder->Stop();
  return !DeviceOpen;
}

template <typename T>
void TAudioSettings::Write(T TAudioSettings::*field, T value) {
  TAudio& owner = *AudioComponent;
  if (owner.SeparateCtrls) {
    Assign(*this, field, value);
  } else {
    Assign<T>(*owner.Player, field, value);
    Assign<T>(*owner.Recorder, field, value);
  }
}

void TAudioSettings::SetChannels(TChannels Value) {
  Write(&TAudioSettings::Channels, Value);
  // A recorder that is no longer stereo cannot split.
  TRecorder& recorder = *AudioComponent->Recorder;
  recorder.SetSplitChannels(recorder.SplitChannels);
}

void TAudioSettings::SetBitsPerSample(TBPS Value) { Write(&TAudioSettings::BitsPerSample, Value); }

void TAudioSettings::SetSampleRate(WORD Value) { Write(&TAudioSettings::SampleRate, Value); }

}  // namespace audio
