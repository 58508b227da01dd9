// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The platform's scalar types and the two wave records, with the fields and
// meanings of the multimedia API the audio component was written against.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using MMRESULT = UINT;

class NotifyWindow;
using HWND = NotifyWindow*;

class WaveInDevice;
using HWAVEIN = WaveInDevice*;
class WaveOutDevice;
using HWAVEOUT = WaveOutDevice*;
class MixerDevice;
using HMIXER = MixerDevice*;

// Device number that selects the system's default device.
inline constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;

// Open flags.
inline constexpr DWORD CALLBACK_TYPEMASK = 0x00070000u;
inline constexpr DWORD CALLBACK_NULL = 0x00000000u;
inline constexpr DWORD CALLBACK_WINDOW = 0x00010000u;
inline constexpr DWORD CALLBACK_FUNCTION = 0x00030000u;
inline constexpr DWORD WAVE_FORMAT_QUERY = 0x0001u;
inline constexpr DWORD WAVE_ALLOWSYNC = 0x0002u;

inline constexpr WORD WAVE_FORMAT_PCM = 1;

// The wave format record is handed to devices byte for byte: 18 bytes,
// little-endian, no padding.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4);
static_assert(offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8);
static_assert(offsetof(WAVEFORMATEX, nBlockAlign) == 12);
static_assert(offsetof(WAVEFORMATEX, wBitsPerSample) == 14);
static_assert(offsetof(WAVEFORMATEX, cbSize) == 16);

// A wave header describes one buffer that travels between a device and its
// owner. Callers pass sizeof(WAVEHDR) with it; the platform layer refuses any
// other size.
struct WAVEHDR {
  char* lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};

inline constexpr DWORD WHDR_DONE = 0x01;      // the device has returned the buffer
inline constexpr DWORD WHDR_PREPARED = 0x02;  // prepared, may be queued
inline constexpr DWORD WHDR_BEGINLOOP = 0x04;
inline constexpr DWORD WHDR_ENDLOOP = 0x08;
inline constexpr DWORD WHDR_INQUEUE = 0x10;  // with the device now

// dwFlags is written by the device thread while a buffer is queued and by
// its owner otherwise; every access that may cross threads goes through
// these, so that the hand-over is ordered (and visible to ThreadSanitizer).
inline DWORD LoadHeaderFlags(const WAVEHDR& h) {
  return std::atomic_ref<DWORD>(const_cast<DWORD&>(h.dwFlags)).load(std::memory_order_acquire);
}
inline void StoreHeaderFlags(WAVEHDR& h, DWORD flags) {
  std::atomic_ref<DWORD>(h.dwFlags).store(flags, std::memory_order_release);
}

// Wave-input callback, called on the device's own thread.
using WaveInProc = void (*)(HWAVEIN hwi, UINT uMsg, DWORD_PTR dwInstance, DWORD_PTR dwParam1, DWORD_PTR dwParam2);
// Wave-output callback, called on the device's own thread.
using WaveOutProc = void (*)(HWAVEOUT hwo, UINT uMsg, DWORD_PTR dwInstance, DWORD_PTR dwParam1, DWORD_PTR dwParam2);

}  // namespace platform
