// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The display library's interface: the record handed over per point and the
// nine C entry points, shared by the program (which loads the library by name
// and resolves each entry point) and by every library that serves it.
//
// Every entry point is `extern "C"` with the platform's default C calling
// convention. Integers are 32-bit (`int32_t`) on every build; on 64-bit builds
// the pointer arguments are 64 bits wide.
//
// Threads. `ShowNext` and `ExternalNext` may be called from any one thread at
// a time (during capture, the audio callback thread); they copy the points and
// return, never block, never allocate and never wait for the GUI thread. All
// other entry points are called on the thread that runs the host's Qt GUI
// application (calls from other threads are ignored, and ScopeCreate then
// returns 0); the library creates no application object of its own.
//
// Handles. `ScopeCreate` returns a positive handle. A handle that names no
// scope (never created, already destroyed, or 0 from a failed create) is
// ignored by every entry point.
#pragma once

#include <cstdint>

extern "C" {

// One new point of a scope: values 0, 1 and 2, copied during the call.
struct ScopePoint {
  double Value[3];
};
static_assert(sizeof(ScopePoint) == 24, "ScopePoint is three packed doubles");

// Value 0 of the point that starts a spectrum frame. The 19 points after it
// are the frame's header and are not drawn; the points after them are bins:
// value 0 the level in dB relative to full scale, value 1 the amplitude in
// percent of full scale minus 100.
inline constexpr double ScopeFrameMarker = 1000000000.0;
inline constexpr int ScopeFrameHeaderPoints = 19;

// Called once after loading, before any other entry point. Flags: pass 0
// (no flag is defined yet; the value is ignored).
using AtOpenLibFn = void (*)(int32_t flags);

// Creates a scope window, hidden until `ScopeShow`, and returns its handle
// (0 when no more scopes can be made).
//   points:     the trace's span at first (within 1 ms ... 5 s), and the transform length that a
//               spectrum frame's bins come from (a frame has points / 2 bins,
//               bin k lies at k * rate / points Hz); 0 selects 2048.
//               Other values are limited to 16 ... 65536.
//   rate:       the sample rate in Hz behind the time and frequency axes;
//               0 selects 44100. Other values are limited to 1000 ... 768000.
//   name:       the window's title; null or empty gives "Signal".
// A scope draws a triggered trace of value 0 (amplitude -1 ... +1 at first) until a
// point with value 0 equal to `ScopeFrameMarker` arrives; from then on it
// draws spectrum frames (level in dBFS over 0 ... rate / 2 Hz). A scope named
// "FFT" (in any case) expects frames from the start: it shows the spectrum
// view, waiting for its first frame, instead of a trace.
using ScopeCreateFn = int32_t (*)(int32_t points, int32_t rate, const char* name);

// Closes the window and frees the scope; points still pending are dropped.
using ScopeDestroyFn = void (*)(int32_t handle);

// Shows the window without taking the keyboard focus.
using ScopeShowFn = void (*)(int32_t handle);

// Hides the window; points keep arriving and are drawn when it is shown again.
using ScopeHideFn = void (*)(int32_t handle);

// Hands one point to the scope. When the scope's queue is full the point is
// dropped and counted (the window shows the count); the caller never waits.
using ShowNextFn = void (*)(int32_t handle, const ScopePoint* point);

// Hands `count` consecutive points to the scope, with the rules of `ShowNext`,
// and returns how many were taken (the rest were dropped and counted).
// A null `points` or a count below 1 takes nothing.
using ExternalNextFn = int32_t (*)(int32_t handle, const ScopePoint* points, int32_t count);

// Drops the points still pending, clears the trace, the spectrum, its peak
// hold and history and the dropped-point count, unfreezes the window and
// returns the scope to the mode it was created in (trace mode until the next
// frame marker, or, for "FFT", waiting for a frame).
using ScopeCleanBuffersFn = void (*)(int32_t handle);

// Takes every point pending now and redraws the window at once. The points
// so far count as a finished stream: the scope does not warn that input stopped.
using QuickUpDateFn = void (*)(int32_t handle);

}  // extern "C"
