// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One spectrum frame: FFT_Spectrum alone, the whole frame with a recording
// sink standing in for the display library, and FFTW's bare transform on the
// same buffers. Counts heap allocations per frame. Then what the frame scope
// reads from each frame it shows: its strongest tone, and its harmonics.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "analysis/FFT_Unit.h"
#include "dsp/FrameEstimator.h"

#include "AllocationCounter.h"

namespace {

using namespace analysis;

std::array<ScopePoint, kFramePoints> g_frame;
int g_next = 0;
void Sink(std::int32_t, const ScopePoint* p) { g_frame[g_next++ % kFramePoints] = *p; }

// FFT_Spectrum windows its input in place, so every frame starts from a
// fresh block; copying one keeps the block's cost small and the same in all
// three benchmarks.
const std::array<float, kFFTPoints> g_block = [] {
  std::array<float, kFFTPoints> b{};
  for (int n = 0; n < kFFTPoints; ++n) b[n] = static_cast<float>(0.5 * std::sin(0.3 * n));
  return b;
}();
void LoadBlock() { std::memcpy(SampleBuffer, g_block.data(), sizeof g_block); }

void Report(benchmark::State& state, long allocations) {
  state.counters["allocations_per_frame"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

void BM_FFT_Spectrum(benchmark::State& state) {
  FFT_Init();
  const long before = g_allocations.load();
  for (auto _ : state) {
    LoadBlock();
    FFT_Spectrum();
    benchmark::DoNotOptimize(PowerBuffer[1]);
  }
  Report(state, g_allocations.load() - before);
  FFT_Free();
}

void BM_WholeFrame(benchmark::State& state) {
  FFT_Init();
  ScopePoint point{};
  const long before = g_allocations.load();
  for (auto _ : state) {
    LoadBlock();
    FFT_Spectrum();
    SpectrumFrame(PowerBuffer, 2048, &Sink, 1, point);
  }
  Report(state, g_allocations.load() - before);
  FFT_Free();
}

void BM_BareTransform(benchmark::State& state) {
  FFT_Init();
  const fftwf_plan plan = fftwf_plan_dft_r2c_1d(kFFTPoints, SampleBuffer, SpectrumBuffer, FFTW_ESTIMATE);
  const long before = g_allocations.load();
  for (auto _ : state) {
    LoadBlock();
    fftwf_execute(plan);
    benchmark::DoNotOptimize(SpectrumBuffer[1][0]);
  }
  Report(state, g_allocations.load() - before);
  fftwf_destroy_plan(plan);
  FFT_Free();
}

// The frame's value 1, as the display library receives it, for a tone at
// -6 dBFS between bins (1234.5 Hz) with its second and third harmonics 40
// and 50 dB down, in white noise 80 dB down: a different phase and noise in
// each of several frames.
std::vector<std::vector<double>> ToneFrames() {
  constexpr int kFrames = 8;
  std::vector<std::vector<double>> frames;
  std::mt19937 rng(5);
  std::normal_distribution<double> white(0, 5e-5);
  std::uniform_real_distribution<double> phase(0, 6.283);
  FFT_Init();
  for (int f = 0; f < kFrames; ++f) {
    const double p = phase(rng), w = 2 * 3.14159265358979 * 1234.5 / 44100;
    for (int n = 0; n < kFFTPoints; ++n)
      StoreSample(n, static_cast<float>(0.5 * std::sin(w * n + p) + 0.005 * std::sin(2 * w * n + p) +
                                        0.0016 * std::sin(3 * w * n + p) + white(rng)));
    FFT_Spectrum();
    ScopePoint point{};
    g_next = 0;
    SpectrumFrame(PowerBuffer, 2048, &Sink, 1, point);
    std::vector<double>& a = frames.emplace_back();
    for (int k = 1 + ScopeFrameHeaderPoints; k < g_next; ++k) a.push_back(g_frame[k].Value[1]);
  }
  FFT_Free();
  return frames;
}

// dsp::FrameEstimator::estimate on a new frame each time, as the frame
// scope calls it once a frame, with or without the harmonics.
void BM_FrameEstimate(benchmark::State& state) {
  const std::vector<std::vector<double>> frames = ToneFrames();
  dsp::FrameEstimator estimator(kFFTPoints, 44100.0 / kFFTPoints);
  size_t i = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    dsp::FrameEstimates e = estimator.estimate(frames[i++ % frames.size()], state.range(0) != 0);
    benchmark::DoNotOptimize(e);
  }
  Report(state, g_allocations.load() - before);
}

BENCHMARK(BM_FFT_Spectrum)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareTransform)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameEstimate)->Arg(0)->Arg(1)->ArgName("harmonics")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
