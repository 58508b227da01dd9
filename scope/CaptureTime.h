// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// When the sound now being handed to the scopes was captured: the program's
// word to the display library, so that a scope can tell how long sound takes
// to reach its screen, the capture path included.
//
// Before the points of a captured block go to ShowNext, the program stores
// when the block's newest frame passed the converter (CLOCK_MONOTONIC
// nanoseconds, from the input device's stamp), and 0 for points whose
// capture time it cannot tell (a sound file, the refresh after Stop). The
// program exports the variable under this name; the library looks for it
// once (dlsym with RTLD_DEFAULT) and, in a host without it, withholds the
// capture path's share. The nine entry points stay as they are.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr const char* kCaptureTimeSymbol = "QuorvelCapturedNs";

extern "C" {
extern std::atomic<std::int64_t> QuorvelCapturedNs;
}
