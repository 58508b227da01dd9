// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TRecorder: the wave-input half of the audio component. Captures blocks of
// NoSamples frames, keeps four buffers circulating between the device and
// itself, applies a one-shot level trigger and hands each block that passes
// to the owner's OnRecord, optionally split into its two channels.
//
// Threads: Start, Stop, Open, Close, AddNextBuffer, the writers and WndProc
// run on the GUI thread. The device thread runs WaveInCallback and with it
// CheckTrigger, SplitBlock and OnRecord; it makes no call on the device but
// reading its published stamp (BlockCapturedNs), and hands each buffer back
// by posting a re-queue request to NotifyWindow.
// Shared: Active, Triggered, DoneIndex and the run number that each re-queue
// request carries (atomics).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "audio/AudioSettings.h"
#include "platform/MessageQueue.h"
#include "platform/Types.h"

namespace audio {

class TRecorder : public TAudioSettings {
 public:
  platform::HWAVEIN WaveIn = nullptr;
  bool SplitChannels = false;
  // Compared as its signed 16-bit reading (65535 reads as -1).
  platform::WORD TrigLevel = 0;
  // Set by the first block at or above the level; cleared by the owner.
  std::atomic<bool> Triggered{false};
  platform::HWND NotifyWindow = nullptr;

  bool Start();
  bool Stop();
  bool Open();
  bool Close();
  bool AddNextBuffer();

  void SetSplitChannels(bool Value);
  void SetTrigLevel(platform::WORD Value);
  // Sets the block length of both halves, the player first.
  void SetNoSamples(platform::WORD Value);

  void WndProc(platform::Message& Message);

  // The device thread's step for one returned buffer (also run by the
  // component's window for a device that notifies a window).
  void BlockStep(TObject* Sender) noexcept;
  bool CheckTrigger(const void* Data, platform::WORD ByteCount) noexcept;
  void SplitBlock(void*& LP, void*& RP, platform::WORD& ByteCount) noexcept;
  void SetErrorText(platform::MMRESULT Code, const std::string& Prefix);
  // Device thread, inside OnRecord: when the newest frame of the block being
  // delivered passed the converter (CLOCK_MONOTONIC nanoseconds), or 0 where
  // the device cannot tell.
  std::int64_t BlockCapturedNs() const noexcept;

 private:
  // Frames handed back in buffers since Open (device thread, after Open).
  std::uint64_t framesDelivered_ = 0;
  // The capture run a re-queue request belongs to (its wParam); every Stop
  // begins a new one. Written on the GUI thread, read by the callback.
  std::atomic<std::uint32_t> requeueRun_{0};
};

// The wave-input callback: R is read through dwInstance, the address of the
// component's Recorder field. Runs on the device's thread.
void WaveInCallback(platform::HWAVEIN hwi, platform::UINT uMsg, platform::DWORD_PTR dwInstance,
                    platform::DWORD_PTR dwParam1, platform::DWORD_PTR dwParam2);

}  // namespace audio
