// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A simulated wave-input device opened with a callback function that logs
// every notification into preallocated storage, with its buffers. The
// helpers call through a FaultInjection, so that a test can make them fail.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/FaultInjection.h"
#include "platform/Messages.h"
#include "platform/sim/SimAudioSystem.h"
#include "tests/support/Signals.h"

namespace platform_test {

using namespace platform;

inline WAVEFORMATEX Pcm(WORD channels, WORD bits, DWORD rate = 44100) {
  return quorvel_test::PcmFormat(channels, bits, rate);
}

struct Notification {
  UINT msg = 0;
  WAVEHDR* header = nullptr;
  DWORD bytes = 0;
  std::uint16_t first = 0, last = 0;  // the first and last 16-bit value of a 16-bit buffer
  std::thread::id thread;
};

// Written by the device thread only, read by the test once the count (or a
// sim count, which moves after the callback) says an entry is there.
struct NotificationLog {
  std::array<Notification, 1 << 14> entries{};
  std::atomic<std::size_t> count{0};

  static void Proc(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR) {
    auto* log = reinterpret_cast<NotificationLog*>(instance);
    const std::size_t n = log->count.load(std::memory_order_relaxed);
    if (n == log->entries.size()) return;
    Notification& e = log->entries[n];
    e = Notification{msg, reinterpret_cast<WAVEHDR*>(p1), 0, 0, 0, std::this_thread::get_id()};
    if (msg == MM_WIM_DATA && e.header != nullptr) {
      e.bytes = e.header->dwBytesRecorded;
      if (e.bytes >= 2) {
        std::memcpy(&e.first, e.header->lpData, 2);
        std::memcpy(&e.last, e.header->lpData + e.bytes - 2, 2);
      }
    }
    log->count.store(n + 1, std::memory_order_release);
  }
  std::size_t size() const { return count.load(std::memory_order_acquire); }
  const Notification& operator[](std::size_t i) const { return entries[i]; }
};

struct SimDevice {
  SimDevice(sim::Pacing pacing, sim::Signal signal, WAVEFORMATEX fmt = Pcm(1, 16), std::size_t buffers = 4,
            DWORD bytesPerBuffer = 4096)
      : format(fmt), data(buffers, std::vector<char>(bytesPerBuffer)), headers(buffers) {
    sim.setPacing(pacing);
    sim.setSignal(std::move(signal));
    for (std::size_t i = 0; i < buffers; ++i)
      headers[i] = WAVEHDR{data[i].data(), bytesPerBuffer, 0, i, 0, 0, nullptr, 0};
  }
  ~SimDevice() {
    if (handle == nullptr) return;
    sim.waveInReset(handle);
    for (WAVEHDR& h : headers) sim.waveInUnprepareHeader(handle, &h, sizeof(WAVEHDR));
    sim.waveInClose(handle);
  }

  MMRESULT open(UINT deviceId = WAVE_MAPPER) {
    return faults.waveInOpen(&handle, deviceId, &format, reinterpret_cast<DWORD_PTR>(&NotificationLog::Proc),
                             reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
  }
  // Opens, prepares every header, queues the first `queued` and starts.
  void openAndStart(std::size_t queued) {
    ASSERT_EQ(open(), MMSYSERR_NOERROR);
    for (WAVEHDR& h : headers) ASSERT_EQ(faults.waveInPrepareHeader(handle, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    for (std::size_t i = 0; i < queued; ++i) ASSERT_EQ(add(i), MMSYSERR_NOERROR);
    ASSERT_EQ(faults.waveInStart(handle), MMSYSERR_NOERROR);
  }
  MMRESULT add(std::size_t i) { return faults.waveInAddBuffer(handle, &headers[i], sizeof(WAVEHDR)); }
  MMRESULT close() {
    const MMRESULT rc = faults.waveInClose(handle);
    if (rc == MMSYSERR_NOERROR) handle = nullptr;
    return rc;
  }
  std::string errorText(MMRESULT code) {
    char text[255];
    faults.waveInGetErrorTextA(code, text, sizeof text);
    return text;
  }

  sim::SimAudioSystem sim;
  FaultInjection faults{sim};
  NotificationLog log;
  HWAVEIN handle = nullptr;
  WAVEFORMATEX format;
  std::vector<std::vector<char>> data;
  std::vector<WAVEHDR> headers;
};

}  // namespace platform_test
