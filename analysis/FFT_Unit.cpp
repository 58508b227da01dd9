// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/FFT_Unit.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "dsp/FrameScale.h"
#include "dsp/WindowShape.h"

namespace analysis {

float* SampleBuffer = nullptr;
fftwf_complex* SpectrumBuffer = nullptr;
float* PowerBuffer = nullptr;
TLevelSmoothing LevelSmoothing[kSpectrumBins];

namespace {
float* Window = nullptr;  // the Hamming window, computed once
fftwf_plan Plan = nullptr;
// The microphone's response at each bin, in dB: 0 where none is applied.
std::atomic<float> MicrophoneDb[kPowerBins];
}  // namespace

void SetMicrophone(const dsp::MicrophoneCorrection* microphone, double rate) {
  for (int k = 0; k < kPowerBins; ++k) {
    const double db = microphone ? microphone->responseDb(k * rate / kFFTPoints) : 0;
    MicrophoneDb[k].store(static_cast<float>(db), std::memory_order_relaxed);
  }
}

bool FFT_Init() {
  FFT_Free();
  SampleBuffer = fftwf_alloc_real(kFFTPoints);
  SpectrumBuffer = fftwf_alloc_complex(kSpectrumBins);
  PowerBuffer = fftwf_alloc_real(kPowerBins);
  Window = fftwf_alloc_real(kFFTPoints);
  if (!SampleBuffer || !SpectrumBuffer || !PowerBuffer || !Window) {
    FFT_Free();
    return false;
  }
  const std::vector<float> window = dsp::analyserWindow(kFFTPoints);
  std::copy(window.begin(), window.end(), Window);
  std::fill(SampleBuffer, SampleBuffer + kFFTPoints, 0.0f);
  for (int k = 0; k < kPowerBins; ++k) PowerBuffer[k] = 0;
  // Out of place, a real-to-complex plan leaves its input as it is, so the
  // part of SampleBuffer a short block does not reach keeps its values.
  Plan = fftwf_plan_dft_r2c_1d(kFFTPoints, SampleBuffer, SpectrumBuffer, FFTW_ESTIMATE);
  if (Plan == nullptr) {
    FFT_Free();
    return false;
  }
  for (int i = 0; i < kSpectrumBins; ++i) {
    LevelSmoothing[i].Level = -65.0f;
    const double w = 0.5 + i * 0.000390625;
    LevelSmoothing[i].NewWeight = static_cast<float>(w);
    LevelSmoothing[i].OldWeight = static_cast<float>(1.0 - static_cast<float>(w));
  }
  SetMicrophone(nullptr, 0);
  return true;
}

void FFT_Free() {
  if (Plan) fftwf_destroy_plan(Plan);
  Plan = nullptr;
  for (float** p : {&SampleBuffer, &PowerBuffer, &Window}) {
    fftwf_free(*p);
    *p = nullptr;
  }
  fftwf_free(SpectrumBuffer);
  SpectrumBuffer = nullptr;
}

void FFT_Spectrum() {
  for (int n = 0; n < kFFTPoints; ++n) SampleBuffer[n] *= Window[n];
  fftwf_execute(Plan);
  for (int k = 0; k < kPowerBins; ++k)
    PowerBuffer[k] = SpectrumBuffer[k][0] * SpectrumBuffer[k][0] + SpectrumBuffer[k][1] * SpectrumBuffer[k][1];
}

void SpectrumFrame(const float* Values, std::uint16_t NoSamples, ShowNextFn show, std::int32_t scope,
                   ScopePoint& point) noexcept {
  point = ScopePoint{{ScopeFrameMarker, 0, 0}};
  if (show) show(scope, &point);
  point.Value[0] = 0;
  for (int i = 0; i < ScopeFrameHeaderPoints; ++i)
    if (show) show(scope, &point);
  // Only the first kFFTPoints samples of a longer block reach the transform,
  // so the divisor stops there too; fewer than two samples would divide by 0.
  const int used = std::min<int>(NoSamples, kFFTPoints);
  for (int k = 0; k < kPowerBins; ++k) {
    const long double a = dsp::frameAmplitude(Values[k], used);
    const long double L = dsp::frameLevelDb(a);
    TLevelSmoothing& s = LevelSmoothing[k];
    s.Level = static_cast<float>(L * s.NewWeight + static_cast<long double>(s.Level) * s.OldWeight);
    const float microphone = MicrophoneDb[k].load(std::memory_order_relaxed);
    if (microphone == 0) {
      point.Value[1] = static_cast<double>(dsp::frameAmplitudePercent(a));
      point.Value[0] = static_cast<double>(s.Level);
    } else {
      // Silence stays at the floor.
      point.Value[1] = static_cast<double>(dsp::frameAmplitudePercent(a * std::pow(10.0L, -microphone / 20.0L)));
      point.Value[0] = std::max(static_cast<double>(s.Level) - microphone, static_cast<double>(kSilenceFloorDb));
    }
    point.Value[2] = 0;
    if (show) show(scope, &point);
  }
}

}  // namespace analysis
