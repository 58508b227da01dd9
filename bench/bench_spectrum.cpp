// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One spectrum frame: FFT_Spectrum alone, the whole frame with a recording
// sink standing in for the display library, and FFTW's bare transform on the
// same buffers. Counts heap allocations per frame.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "analysis/FFT_Unit.h"

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

BENCHMARK(BM_FFT_Spectrum)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareTransform)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
