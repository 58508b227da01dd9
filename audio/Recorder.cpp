// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/Recorder.h"

#include <chrono>
#include <cstring>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Texts.h"
#include "platform/AudioSystem.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"

namespace audio {

using namespace platform;

bool TRecorder::Open() {
  if (DeviceOpen) return true;
  if (StorageFailed()) return false;
  QueueIndex = 0;
  DoneIndex.store(0, std::memory_order_relaxed);
  framesDelivered_ = 0;
  AudioSystem& system = AudioComponent->System();
  const MMRESULT rc =
      system.waveInOpen(&WaveIn, static_cast<UINT>(AudioComponent->AudioDeviceID), WaveFormat,
                        reinterpret_cast<DWORD_PTR>(&WaveInCallback),
                        reinterpret_cast<DWORD_PTR>(&AudioComponent->Recorder), CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
  if (rc != MMSYSERR_NOERROR) {
    Close();
    SetErrorText(rc, text::kOpenInput);
    return false;
  }
  DeviceOpen = true;
  InitHeaders();
  for (int i = 0; i < kRingSize; ++i) {
    if (const MMRESULT prc = system.waveInPrepareHeader(WaveIn, Headers[i], sizeof(WAVEHDR)); prc != MMSYSERR_NOERROR) {
      Close();
      SetErrorText(prc, text::kPrepareInput);
      return false;
    }
  }
  if (!AddNextBuffer()) {
    AudioComponent->ErrorMessage = text::kAddNextInput;
    return false;
  }
  return true;
}

bool TRecorder::Start() {
  if (!Open()) return false;
  if (const MMRESULT rc = AudioComponent->System().waveInStart(WaveIn); rc != MMSYSERR_NOERROR) {
    SetErrorText(rc, text::kStartInput);
    Close();
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (!AddNextBuffer()) {
      AudioComponent->ErrorMessage = text::kAddNextInput;
      return false;
    }
  }
  return true;
}

bool TRecorder::AddNextBuffer() {
  const MMRESULT rc = AudioComponent->System().waveInAddBuffer(WaveIn, Headers[QueueIndex], sizeof(WAVEHDR));
  if (rc != MMSYSERR_NOERROR) {
    Stop();
    SetErrorText(rc, text::kAddInput);
    return false;
  }
  QueueIndex = (QueueIndex + 1) % kRingSize;
  return true;
}

void TRecorder::WndProc(Message& Message) {
  Message.Result = 0;
  if (Message.Msg != kRequeueRequest || !DeviceOpen) return;
  // A request posted before a Stop can arrive after the next Start. Its
  // header may then be back from the device but still in the callback's
  // hands (queuing it would write the bytes-recorded field under the
  // callback's read), or with the device already (queuing it twice would be
  // refused and stop capture). Such a request is left alone.
  if (Message.WParam != requeueRun_.load(std::memory_order_relaxed)) return;
  AddNextBuffer();
}

bool TRecorder::Close() {
  if (!DeviceOpen) {
    AudioComponent->ErrorMessage = text::kRecorderClosed;
    return true;
  }
  AudioSystem& system = AudioComponent->System();
  if (system.waveInReset(WaveIn) != MMSYSERR_NOERROR) {
    AudioComponent->ErrorMessage = text::kResetInput;
    return false;
  }
  for (int i = 0; i < kRingSize; ++i) {
    if (Headers[i] == nullptr) continue;  // storage that failed to build: nothing was prepared
    if (const MMRESULT rc = system.waveInUnprepareHeader(WaveIn, Headers[i], sizeof(WAVEHDR)); rc != MMSYSERR_NOERROR) {
      SetErrorText(rc, text::kUnprepareInput);
      return false;
    }
  }
  if (system.waveInClose(WaveIn) != MMSYSERR_NOERROR) {
    AudioComponent->ErrorMessage = text::kCloseInput;
    return false;
  }
  DeviceOpen = false;
  return true;
}

bool TRecorder::Stop() {
  // Inactive first, so that the buffers the reset returns are neither
  // delivered nor queued again; then a new run number, so that no re-queue
  // request posted before this point acts after it.
  Active.store(false, std::memory_order_release);
  requeueRun_.fetch_add(1, std::memory_order_release);
  const bool result = Close();
  while (Active.load(std::memory_order_acquire)) ProcessMessages();
  return result;
}

void TRecorder::SetErrorText(MMRESULT Code, const std::string& Prefix) {
  audio::SetErrorText(*AudioComponent, &AudioSystem::waveInGetErrorTextA, Code, Prefix);
}

void TRecorder::SetSplitChannels(bool Value) { SplitChannels = Channels == TChannels::Stereo && Value; }

void TRecorder::SetTrigLevel(WORD Value) { TrigLevel = Value; }

void TRecorder::SetNoSamples(WORD Value) {
  Assign(static_cast<TAudioSettings&>(*AudioComponent->Player), &TAudioSettings::NoSamples, Value);
  Assign(static_cast<TAudioSettings&>(*this), &TAudioSettings::NoSamples, Value);
}

bool TRecorder::CheckTrigger(const void* Data, WORD ByteCount) noexcept {
  if (Triggered.load(std::memory_order_acquire)) return true;
  if (ByteCount == 0) return false;
  const auto level = static_cast<std::int16_t>(TrigLevel);
  const auto* bytes = static_cast<const BYTE*>(Data);
  bool found = false;
  if (BitsPerSample == TBPS::_8) {
    for (WORD i = 0; i < ByteCount && !found; ++i) found = bytes[i] >= level;
  } else {
    for (WORD i = 0; i + 1 < ByteCount && !found; i += 2) {
      std::int16_t sample;
      std::memcpy(&sample, bytes + i, sizeof sample);
      found = sample >= level;
    }
  }
  Triggered.store(found, std::memory_order_release);
  return found;
}

void TRecorder::SplitBlock(void*& LP, void*& RP, WORD& ByteCount) noexcept {
  if (ByteCount == 0) return;
  ByteCount = ByteCount / 2;
  auto* left = static_cast<BYTE*>(LP);
  auto* right = static_cast<BYTE*>(RP);
  if (BitsPerSample == TBPS::_8) {
    for (WORD k = 0; k < ByteCount; ++k) {
      left[k] = left[2 * k];
      right[k] = left[2 * k + 1];
    }
  } else {
    // Sample k of each channel comes from bytes 4k..4k+3 of the block; the
    // left one is written at 2k, never past what is still to be read.
    for (WORD k = 0; k < ByteCount / 2; ++k) {
      std::memmove(left + 2 * k, left + 4 * k, 2);
      std::memcpy(right + 2 * k, left + 4 * k + 2, 2);
    }
  }
}

void TRecorder::BlockStep(TObject* Sender) noexcept {
  // The run number is read before Active: a callback that sees the number a
  // Stop has just made sees that Stop's Active false too, so no request of
  // a stopped run ever carries the next run's number.
  const std::uint32_t run = requeueRun_.load(std::memory_order_acquire);
  if (!Active.load(std::memory_order_acquire)) return;
  const int i = DoneIndex.load(std::memory_order_relaxed);
  void* LP = Buffers[i];
  void* RP = SplitBuffers[i];
  auto N = static_cast<WORD>(Headers[i]->dwBytesRecorded & 0xFFFF);
  framesDelivered_ += Headers[i]->dwBytesRecorded / WaveFormat->nBlockAlign;
  const TNotifyAudioRecordEvent& onRecord = AudioComponent->OnRecord;
  if (CheckTrigger(LP, N) && onRecord) {
    if (SplitChannels) {
      SplitBlock(LP, RP, N);
      onRecord(Sender, LP, RP, N);
    } else {
      onRecord(Sender, LP, nullptr, N);
    }
  }
  // Every returned buffer goes back to the device, an empty one too:
  // leaving it out would stall the ring on the same header for good.
  PostMessage(NotifyWindow, kRequeueRequest, run, 0);
  DoneIndex.store((i + 1) % kRingSize, std::memory_order_relaxed);
}

// The stamp says how many frames the device had captured by a moment; the
// frames beyond those delivered so far came after the block's newest one.
// A stamp on a clock other than this one (the simulated device's) puts the
// block in the future or far in the past, and is not believed.
std::int64_t TRecorder::BlockCapturedNs() const noexcept {
  WAVESTAMP stamp;
  if (AudioComponent->System().waveInGetStamp(WaveIn, &stamp) != MMSYSERR_NOERROR) return 0;
  const double later =
      (static_cast<double>(stamp.frames) - static_cast<double>(framesDelivered_)) * 1e9 / WaveFormat->nSamplesPerSec;
  const auto captured = stamp.nanoseconds - static_cast<std::int64_t>(later);
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
  if (captured > now || now - captured > 10'000'000'000) return 0;
  return captured;
}

void WaveInCallback(HWAVEIN, UINT uMsg, DWORD_PTR dwInstance, DWORD_PTR, DWORD_PTR) {
  TRecorder* R = *reinterpret_cast<TRecorder* const*>(dwInstance);
  switch (uMsg) {
    case MM_WIM_OPEN:
      R->Active.store(true, std::memory_order_release);
      break;
    case MM_WIM_CLOSE:
      R->Active.store(false, std::memory_order_release);
      break;
    case MM_WIM_DATA:
      R->BlockStep(R);
      break;
    default:
      break;
  }
}

}  // namespace audio
