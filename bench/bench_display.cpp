// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the display costs: ShowNext per call while another thread drains,
// one picture of a trace and of a spectrum at 1200 x 400, the CPU time of
// one second of display at the program's rate, and a picture of each block
// painted over the last as on screen.
#include "display/ScopeRegistry.h"
#include "display/ui/ScopeWindow.h"
#include "display/ui/SpectrumView.h"
#include "display/ui/TraceView.h"

#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <thread>

using namespace quorvel::display;

namespace {

const QSize kSize(1200, 400);

ScopePoint sinePoint(int i) { return {{0.8 * std::sin(2 * std::numbers::pi * i / 93.0), 0, 0}}; }

// The points of one spectrum frame: marker, header, 1024 bins of noise and a
// peak, value 1 (the amplitude) matching value 0 (the level).
std::vector<ScopePoint> framePoints(int seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> floor(-105, -85);
  std::vector<ScopePoint> f{{{ScopeFrameMarker, 0, 0}}};
  f.resize(1 + ScopeFrameHeaderPoints, ScopePoint{{0, 0, 0}});
  for (int k = 0; k < 1024; ++k) {
    const double db = k == 93 ? -3.0 : k == 92 || k == 94 ? -9.0 : floor(rng);
    f.push_back({{db, std::pow(10, db / 20) * 100 - 100, 0}});
  }
  return f;
}

// ShowNext with room in the ring while another thread drains it. Argument:
// microseconds between two drains of the thread standing in for the GUI
// thread's timer; 0 drains without pause, the worst case for the shared cache
// lines, 100 is still 160 times the real 60 Hz. The producer outruns any
// consumer, so every half ring it waits (untimed) for the ring to empty.
void BM_ShowNext(benchmark::State& state) {
  ScopeRegistry registry;
  const int32_t h = registry.create(0, 0, "bench");
  ScopeWindow* window = registry.window(h);
  const uint64_t half = registry.find(h)->ring.capacity() / 2;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> taken{0};
  const auto pause = std::chrono::microseconds(state.range(0));
  std::thread gui([&] {
    while (!stop.load(std::memory_order_relaxed)) {
      window->drain();
      taken.store(window->received(), std::memory_order_release);
      if (pause.count()) std::this_thread::sleep_for(pause);
    }
  });
  std::vector<ScopePoint> points(4096);
  for (size_t i = 0; i < points.size(); ++i) points[i] = sinePoint(int(i));
  uint64_t sent = 0;
  for (auto _ : state) {
    // What the exported ShowNext does.
    if (ScopeChannel* c = registry.find(h)) c->ring.push(points[sent & 4095]);
    if (++sent % half == 0) {
      state.PauseTiming();
      while (taken.load(std::memory_order_acquire) < sent) std::this_thread::yield();
      state.ResumeTiming();
    }
  }
  stop = true;
  gui.join();
  state.counters["dropped"] = double(window->dropped());
  registry.destroy(h);
}
BENCHMARK(BM_ShowNext)->Arg(0)->Arg(100)->ArgName("drain_us");

void BM_DrawTrace(benchmark::State& state) {
  TraceView view(ScopeConfig{});
  for (int i = 0; i < 2048; ++i) view.consume(sinePoint(i), false);
  QImage img(kSize, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  for (auto _ : state) {
    view.paintPicture(p, kSize);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawTrace)->Unit(benchmark::kMicrosecond);

// One picture of a triggered 1 kHz tone at -6 dBFS at a given timebase,
// measurements and all. Argument: the span in points at 44100 Hz (1 ms,
// 46 ms, 2 s and the longest step, 5 s).
void BM_DrawTraceSpan(benchmark::State& state) {
  const ScopeConfig config;
  TraceView view(config);
  TraceSettings s = view.settings();
  s.spanMs = double(state.range(0)) * 1000 / config.rate;
  view.setSettings(s);
  const int points = int(2 * state.range(0)) + config.rate / 2;
  for (int i = 0; i < points; ++i)
    view.consume({{0.5 * std::sin(2 * std::numbers::pi * 1000 * i / config.rate), 0, 0}}, false);
  QImage img(kSize, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  for (auto _ : state) {
    view.paintPicture(p, kSize);
    benchmark::ClobberMemory();
  }
  state.counters["triggered"] = view.model().sweep() && view.model().sweep()->trigger ? 1 : 0;
}
BENCHMARK(BM_DrawTraceSpan)
    ->Arg(44)
    ->Arg(2048)
    ->Arg(88200)
    ->Arg(220500)
    ->ArgName("points")
    ->Unit(benchmark::kMicrosecond);

void BM_DrawSpectrum(benchmark::State& state) {
  SpectrumView view(ScopeConfig{});
  for (int f = 0; f < 3; ++f)
    for (const ScopePoint& pt : framePoints(f)) view.consume(pt, false);
  view.setLogFrequency(state.range(0) != 0);
  QImage img(kSize, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  for (auto _ : state) {
    view.paintPicture(p, kSize);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawSpectrum)->Arg(0)->Arg(1)->ArgName("log")->Unit(benchmark::kMicrosecond);

// One new frame taken and drawn with the spectrum and the spectrogram both
// shown (the spectrogram adds one row per frame), with or without the
// harmonics read out.
void BM_DrawSpectrumAndSpectrogram(benchmark::State& state) {
  SpectrumView view(ScopeConfig{});
  SpectrumSettings s;
  s.layout = SpectrumLayout::SpectrumAndSpectrogram;
  s.harmonics = state.range(0) != 0;
  view.setSettings(s);
  std::vector<std::vector<ScopePoint>> frames;
  for (int f = 0; f < 16; ++f) frames.push_back(framePoints(f));
  QImage img(kSize, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  size_t i = 0;
  for (auto _ : state) {
    for (const ScopePoint& pt : frames[i++ % frames.size()]) view.consume(pt, false);
    view.paintPicture(p, kSize);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawSpectrumAndSpectrogram)->Arg(0)->Arg(1)->ArgName("harmonics")->Unit(benchmark::kMicrosecond);

// One second at the program's rate: 44100 trace points and 21.5 frames of
// 1044 points, taken by 60 timer ticks, each repainting what changed. The
// CPU time per iteration in ms, divided by 10, is the share of one core in %.
// Argument: each picture painted over the last, as on screen (1), or afresh (0).
void BM_DisplaySecond(benchmark::State& state) {
  ScopeRegistry registry;
  const int32_t th = registry.create(0, 0, "trace");
  const int32_t sh = registry.create(0, 0, "spectrum");
  ScopeChannel* trace = registry.find(th);
  ScopeChannel* spectrum = registry.find(sh);
  std::vector<std::vector<ScopePoint>> frames;
  for (int f = 0; f < 22; ++f) frames.push_back(framePoints(f));
  QImage traceImg(kSize, QImage::Format_ARGB32_Premultiplied);
  QImage spectrumImg(kSize, QImage::Format_ARGB32_Premultiplied);
  int i = 0;
  for (auto _ : state) {
    int frame = 0;
    for (int tick = 0; tick < 60; ++tick) {
      for (int n = 0; n < 735; ++n) trace->ring.push(sinePoint(i++));
      // Frames come with the 2048-sample blocks: one every 46.4 ms.
      while (frame < 22 && frame * 2048 < (tick + 1) * 735) {
        for (const ScopePoint& pt : frames[size_t(frame)]) spectrum->ring.push(pt);
        ++frame;
      }
      for (auto [window, img] :
           {std::pair{trace->window.get(), &traceImg}, std::pair{spectrum->window.get(), &spectrumImg}})
        if (window->drain()) {
          QPainter p(img);
          if (state.range(0) != 0)
            window->view().paintOver(p, kSize);
          else
            window->view().paintPicture(p, kSize);
        }
    }
  }
  registry.destroy(sh);
  registry.destroy(th);
}
BENCHMARK(BM_DisplaySecond)->Arg(0)->Arg(1)->ArgName("over")->Unit(benchmark::kMillisecond);

// One picture of each block as the program draws it on screen: a 1 kHz tone
// at -6 dBFS, 2048 points a block, painted over the last picture in a
// window of the program's size. Between two pictures (untimed) the caches
// are filled with other data, as the 46 ms between two blocks leave them.
// Argument: the scope shows the signal (0) or the spectrum (1).
void BM_PaintedOverAsOnScreen(benchmark::State& state) {
  const QSize size(780, 420);
  const ScopeConfig config;
  const bool spectrum = state.range(0) != 0;
  TraceView trace(config);
  SpectrumView spectrumView(config);
  PlotView& view = spectrum ? static_cast<PlotView&>(spectrumView) : trace;
  std::vector<std::vector<ScopePoint>> frames;
  for (int f = 0; f < 16; ++f) frames.push_back(framePoints(f));
  // A second of the tone: a whole number of its periods, so that blocks
  // taken round it go on without a step.
  std::vector<ScopePoint> tone(size_t(config.rate));
  for (size_t n = 0; n < tone.size(); ++n)
    tone[n] = {{0.5 * std::sin(2 * std::numbers::pi * 1000 * double(n) / config.rate), 0, 0}};
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  std::vector<char> other(8 << 20);
  size_t i = 0, frame = 0;
  for (auto _ : state) {
    if (spectrum) {
      for (const ScopePoint& pt : frames[frame++ % frames.size()]) spectrumView.consume(pt, false);
    } else {
      for (int n = 0; n < 2048; ++n, ++i) trace.consume(tone[i % tone.size()], false);
    }
    QPainter p(&img);
    view.paintOver(p, size);
    p.end();
    benchmark::ClobberMemory();
    state.PauseTiming();
    for (size_t k = 0; k < other.size(); k += 64) other[k] = char(other[k] + 1);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PaintedOverAsOnScreen)->Arg(0)->Arg(1)->ArgName("spectrum")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
