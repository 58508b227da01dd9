// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Live capture for quorvel-analyse: a number of seconds recorded through the
// audio component's recorder, as the program records (16-bit blocks of 2048
// frames), in stereo at 44100 Hz, handed on as floats (n / 32768).
//
// The block handler runs on the device's thread: it only copies the block
// into a lock-free ring. This thread takes the blocks out, converts them and
// gives them to the sink, so the analysis never holds the device up.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace analyse {

inline constexpr int kCaptureRate = 44100;
inline constexpr int kCaptureChannels = 2;

struct CaptureOutcome {
  bool ok = false;
  std::string error;       // why capture failed, in the component's words
  unsigned long lost = 0;  // blocks the ring had no room for
};

// Runs a Qt event loop on the calling thread until round(seconds * rate)
// frames have been handed to `sink` (frames of kCaptureChannels samples),
// capture fails, or the application is told to exit (Ctrl+C); what came
// until then counts as captured.
CaptureOutcome Capture(int device, double seconds, const std::function<void(const float*, size_t)>& sink);

}  // namespace analyse
