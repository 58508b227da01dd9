// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The spectrum analyser: a Hamming-windowed 2048-point real FFT of the
// latest block, its power spectrum, and the conversion of bins 0..1023 to
// smoothed levels in dB relative to a full-scale sine, sent to a scope as
// one frame of 1044 points; with a microphone's correction on, its
// response at each bin's frequency taken off the bin's level.
//
// State is module-level, one instance, valid from FFT_Init to FFT_Free.
// During capture it is touched only by the block handler on the device
// thread; nothing here allocates, locks or waits after FFT_Init.
#pragma once

#include <cstdint>
#include <fftw3.h>

#include "dsp/FrameScale.h"
#include "dsp/MicrophoneCorrection.h"
#include "scope/ScopeApi.h"

namespace analysis {

inline constexpr int kFFTOrder = 11;
inline constexpr int kFFTPoints = 1 << kFFTOrder;                             // 2048
inline constexpr int kSpectrumBins = kFFTPoints / 2 + 1;                      // 1025
inline constexpr int kPowerBins = kFFTPoints / 2;                             // 1024
inline constexpr int kFramePoints = 1 + ScopeFrameHeaderPoints + kPowerBins;  // 1044

// A bin with no power has no finite level; it counts as this floor, so
// digital silence shows as the bottom of the scale.
inline constexpr long double kSilenceFloorDb = dsp::kFrameFloorDb;

struct TLevelSmoothing {
  float Level;
  float NewWeight;
  float OldWeight;
};

extern float* SampleBuffer;            // kFFTPoints samples, fractions of full scale
extern fftwf_complex* SpectrumBuffer;  // kSpectrumBins bins
extern float* PowerBuffer;             // kPowerBins powers
extern TLevelSmoothing LevelSmoothing[kSpectrumBins];

// Allocates the buffers, plans the transform (estimate mode: no planning
// search at start-up), fills the smoothing table and applies no microphone. False when memory or
// the plan cannot be had.
bool FFT_Init();
// Releases what FFT_Init made; safe to call again.
void FFT_Free();
// Window (in place), transform and power of SampleBuffer into PowerBuffer.
void FFT_Spectrum();

// Stores sample i of a block; blocks longer than the buffer keep their
// first kFFTPoints samples. Returns the value as stored (or given).
inline float StoreSample(std::int32_t i, float value) noexcept {
  if (i >= 0 && i < kFFTPoints && SampleBuffer != nullptr) SampleBuffer[i] = value;
  return value;
}

// The microphone's response to take off every frame's levels from now on,
// at `rate` Hz (bin k at k rate / kFFTPoints Hz); null: none. Called on the
// GUI thread, during capture too: the frames read it per bin through
// relaxed atomics, so a frame sent while it changes may hold some bins'
// old correction, and the next holds the new one throughout.
void SetMicrophone(const dsp::MicrophoneCorrection* microphone, double rate);

// Builds one frame from Values (the power spectrum) and sends it through
// show(scope, &point), point by point: the marker, 19 header points, then
// one point per bin {smoothed level dB, amplitude % - 100, 0}, each less
// the microphone's response there (SetMicrophone; the smoothing itself is
// of the uncorrected levels, so a change shows at once). NoSamples is
// the block length the levels are divided by (at most kFFTPoints of it, the
// samples the transform saw). With show null the levels are
// still smoothed but nothing is sent. `point` keeps the last point sent.
void SpectrumFrame(const float* Values, std::uint16_t NoSamples, ShowNextFn show, std::int32_t scope,
                   ScopePoint& point) noexcept;

}  // namespace analysis
