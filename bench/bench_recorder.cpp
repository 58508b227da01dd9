// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The recorder's block path: from the device thread handing a filled buffer
// to the callback until OnRecord (empty) has returned and the re-queue
// request is posted. Counts heap allocations on that path.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <atomic>
#include <cstdlib>
#include <new>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/sim/SimAudioSystem.h"

#include "AllocationCounter.h"

namespace {

void BlockPath(benchmark::State& state, bool stereoSplit) {
  platform::sim::SimAudioSystem sim;
  audio::TAudio a(nullptr, &sim);
  audio::TRecorder& r = *a.Recorder;
  r.SetBitsPerSample(audio::TBPS::_16);
  r.SetSampleRate(44100);
  if (stereoSplit) r.SetChannels(audio::TChannels::Stereo);
  r.SetSplitChannels(stereoSplit);
  r.SetNoSamples(2048);
  r.InitHeaders();
  for (auto* h : r.Headers) h->dwBytesRecorded = r.BufferBytes;
  r.Triggered = true;
  r.Active = true;
  a.OnRecord = [](audio::TObject*, void* LP, void*, platform::WORD) { benchmark::DoNotOptimize(LP); };
  audio::TRecorder* field = &r;
  long allocations = 0;
  int n = 0;
  for (auto _ : state) {
    const long before = g_allocations.load(std::memory_order_relaxed);
    audio::WaveInCallback(nullptr, platform::MM_WIM_DATA, reinterpret_cast<platform::DWORD_PTR>(&field), 0, 0);
    allocations += g_allocations.load(std::memory_order_relaxed) - before;
    // Re-queue requests are handled by the GUI thread; empty the window's
    // queue now and then so it never fills (the recorder is not open, so
    // handling them costs next to nothing).
    if (++n == 256) {
      state.PauseTiming();
      r.NotifyWindow->dispatchPending();
      n = 0;
      state.ResumeTiming();
    }
  }
  r.Active = false;
  state.counters["allocations_per_block"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
  state.counters["bytes"] = r.BufferBytes;
}

void BM_BlockPathMono(benchmark::State& s) { BlockPath(s, false); }
void BM_BlockPathStereoSplit(benchmark::State& s) { BlockPath(s, true); }
BENCHMARK(BM_BlockPathMono);
BENCHMARK(BM_BlockPathStereoSplit);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
