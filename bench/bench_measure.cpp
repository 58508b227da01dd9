// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The analysis of a measurement, from the captured samples to every figure
// (deconvolution, delay, drift, response, harmonics): a 10 s sweep at
// 44.1 kHz through a filtered, delayed path, once with the clocks agreeing
// and once with the input 100 ppm fast (found, then corrected by
// resampling the capture and analysing it again); and periodic pink noise.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "dsp/Biquad.h"
#include "measure/Analysis.h"
#include "measure/Plan.h"
#include "platform/sim/LoopbackPath.h"

namespace {

using namespace measure;

struct Prepared {
  Plan plan;
  std::vector<float> captured;
};

Prepared Prepare(const Settings& settings, double clockRatio) {
  Prepared p{Plan(settings), {}};
  std::vector<float> played(p.plan.frames());
  p.plan.makeStimulus()->render(played.data(), played.size());
  platform::sim::LoopbackPath path{.delay = 123.4,
                                   .biquad = dsp::BiquadCoefficients::Peaking(1000, 1, 4, settings.rate),
                                   .noiseDbfs = -90,
                                   .clockRatio = clockRatio};
  const std::size_t count = static_cast<std::size_t>(static_cast<double>(played.size() + 2000) * 1.001);
  for (double v : platform::sim::RunLoopback(path, played, 1000, count)) p.captured.push_back(static_cast<float>(v));
  return p;
}

void Analyse(benchmark::State& state, const Settings& settings, double clockRatio) {
  const Prepared p = Prepare(settings, clockRatio);
  for (auto _ : state) {
    Result r;
    std::string why;
    if (!measure::Analyse(p.plan, {p.captured.data(), p.captured.size(), 1000}, r, why))
      state.SkipWithError(why.c_str());
    benchmark::DoNotOptimize(r);
  }
}

void BM_Sweep10s(benchmark::State& state) { Analyse(state, {.seconds = 10}, 1); }
void BM_Sweep10sDrifting(benchmark::State& state) { Analyse(state, {.seconds = 10}, 1.0001); }
void BM_PinkNoise8Periods(benchmark::State& state) {
  Analyse(state, {.kind = Settings::Kind::Noise, .averages = 8}, 1);
}

BENCHMARK(BM_Sweep10s)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sweep10sDrifting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PinkNoise8Periods)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
