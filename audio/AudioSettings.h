// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TAudioSettings: the wave format of one half of the audio component (the
// recorder or the player) and the storage of its four-buffer ring: the wave
// format record, four headers, four sample buffers and four second-channel
// buffers. It builds that storage from the format and rebuilds it whenever
// a format property changes; it opens no device.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "audio/Object.h"
#include "platform/Types.h"

namespace audio {

class TAudio;

enum class TChannels : std::uint8_t { Mono = 0, Stereo = 1 };
enum class TBPS : std::uint8_t { _8 = 0, _16 = 1 };

inline constexpr int kRingSize = 4;

class TAudioSettings : public TObject {
 public:
  TAudio* AudioComponent = nullptr;
  std::array<platform::WAVEHDR*, kRingSize> Headers{};
  std::array<platform::BYTE*, kRingSize> Buffers{};
  std::array<platform::BYTE*, kRingSize> SplitBuffers{};
  // Next header to hand to the device; changed on the GUI thread only.
  std::int32_t QueueIndex = 0;
  // Header expected back next; the recorder's device thread advances it.
  std::atomic<std::int32_t> DoneIndex{0};
  std::int32_t QueuedCount = 0;
  bool DeviceOpen = false;
  TChannels Channels = TChannels::Mono;
  TBPS BitsPerSample = TBPS::_8;
  platform::WORD SampleRate = 0;
  platform::WORD NoSamples = 0;
  platform::WAVEFORMATEX* WaveFormat = nullptr;
  platform::WORD BufferBytes = 0;
  // Set by the device's open notification, cleared by its close
  // notification and by Stop; read and written on two threads.
  std::atomic<bool> Active{false};

  // Builds the format record and the ring from the current format. False
  // with the reason in the owner's ErrorMessage; what was built before the
  // failure stays for FreeBuffers.
  bool AllocateBuffers();
  // True when the latest AllocateBuffers failed; its reason is then put
  // back in ErrorMessage, so that a start refused for want of storage gives
  // that reason rather than a device's complaint about the missing buffers.
  bool StorageFailed();
  // Frees what AllocateBuffers built; nothing when nothing was built.
  void FreeBuffers();
  // Binds each header to its buffer and clears the rest of it.
  void InitHeaders();
  // Before the storage is rebuilt: a half whose device is open is stopped,
  // so that no buffer the device holds is freed. False when the device
  // stays open (the stop failed; ErrorMessage says why): the storage must
  // then stay as it is.
  bool StopForRebuild();

  // Writers: equal values change nothing. Unless the owner's SeparateCtrls is
  // set, the value goes to both halves, the player first.
  void SetChannels(TChannels Value);
  void SetBitsPerSample(TBPS Value);
  void SetSampleRate(platform::WORD Value);

 protected:
  // Assigns through `field` on `half` and rebuilds that half's storage,
  // unless the value is already there.
  template <typename T>
  static void Assign(TAudioSettings& half, T TAudioSettings::*field, T value) {
    if (half.*field == value) return;
    if (!half.StopForRebuild()) return;
    half.*field = value;
    half.FreeBuffers();
    half.AllocateBuffers();  // a failure shows in ErrorMessage only
  }
  // A format write: this half alone with SeparateCtrls, else both halves,
  // the player first.
  template <typename T>
  void Write(T TAudioSettings::*field, T value);

 private:
  std::string storageFailure_;  // why the latest AllocateBuffers failed
};

}  // namespace audio
