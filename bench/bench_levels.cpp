// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the Levels window costs: the engine's work on one block of 2048
// samples at 44.1 kHz (the meter's three weightings and time weightings,
// and the bands; blocks come 21.5 times a second, so 465 us of CPU time a
// block would be 1 % of a core), one picture of the window, and one second
// of the window at the program's rate (21.5 blocks through the feed, 25
// timer ticks, each taking what came and repainting). The CPU time of that
// second in ms, divided by 10, is the share of one core in %;
// bench_display's BM_DisplaySecond is the same for the two scopes.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "app/LevelsWindow.h"
#include "app/SampleFeed.h"
#include "dsp/OctaveFilterBank.h"
#include "dsp/SoundLevelMeter.h"

namespace {

constexpr double kRate = 44100;
constexpr int kBlock = 2048;

// Noise with a tone in it, as 16-bit samples would give it.
std::vector<float> Sound(std::size_t n) {
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0, 0.05f);
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = noise(rng) + 0.3f * float(std::sin(2 * M_PI * 997 * double(i) / kRate));
  return x;
}

// Argument: bands per octave.
void BM_LevelsBlock(benchmark::State& state) {
  dsp::SoundLevelMeter meter(kRate, 3600);
  dsp::OctaveFilterBank bank(int(state.range(0)), kRate, dsp::Weighting::A);
  const std::vector<float> x = Sound(kBlock * 64);
  std::size_t at = 0;
  for (auto _ : state) {
    meter.process(x.data() + at, kBlock);
    bank.process(x.data() + at, kBlock);
    at = (at + kBlock) % x.size();
  }
}
BENCHMARK(BM_LevelsBlock)->Arg(1)->Arg(3)->Arg(24)->ArgName("bands")->Unit(benchmark::kMicrosecond);

// The same in digital silence, once the filters have rung down for 20 s:
// what a muted input costs (with denormal numbers, some fifty times more).
void BM_LevelsBlockInSilence(benchmark::State& state) {
  dsp::SoundLevelMeter meter(kRate, 3600);
  dsp::OctaveFilterBank bank(int(state.range(0)), kRate, dsp::Weighting::A);
  const std::vector<float> x = Sound(std::size_t(kRate)), silence(kBlock, 0.0f);
  meter.process(x.data(), x.size());
  bank.process(x.data(), x.size());
  for (int i = 0; i < 20 * int(kRate) / kBlock; ++i) {
    meter.process(silence.data(), kBlock);
    bank.process(silence.data(), kBlock);
  }
  for (auto _ : state) {
    meter.process(silence.data(), kBlock);
    bank.process(silence.data(), kBlock);
  }
}
BENCHMARK(BM_LevelsBlockInSilence)->Arg(3)->ArgName("bands")->Unit(benchmark::kMicrosecond);

// A window that has measured 3 s of sound, in `bands` per octave.
struct Window {
  app::SampleFeed feed;
  app::LevelsWindow window{feed};
  explicit Window(int bands) {
    window.Bands->setCurrentIndex(bands == 1 ? 0 : bands == 3 ? 1 : 4);
    window.resize(720, 520);
    window.Begin(kRate, QStringLiteral("bench"));
    const std::vector<float> x = Sound(std::size_t(3 * kRate));
    for (std::size_t at = 0; at < x.size(); at += kBlock) {
      feed.Push(x.data() + at, std::min<std::size_t>(kBlock, x.size() - at));
      window.Follow();
    }
  }
};

void BM_LevelsPicture(benchmark::State& state) {
  Window w(int(state.range(0)));
  QImage img(w.window.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    w.window.render(&img);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LevelsPicture)->Arg(3)->Arg(24)->ArgName("bands")->Unit(benchmark::kMicrosecond);

void BM_LevelsSecond(benchmark::State& state) {
  Window w(int(state.range(0)));
  QImage img(w.window.size(), QImage::Format_ARGB32_Premultiplied);
  const std::vector<float> x = Sound(std::size_t(kRate));
  for (auto _ : state) {
    std::size_t sent = 0;
    for (int tick = 0; tick < 25; ++tick) {
      // The blocks that have come by this tick.
      while ((sent + kBlock) * 25 <= std::size_t((tick + 1) * kRate)) {
        w.feed.Push(x.data() + sent, kBlock);
        sent += kBlock;
      }
      w.window.Follow();
      w.window.render(&img);
    }
  }
}
BENCHMARK(BM_LevelsSecond)->Arg(3)->Arg(24)->ArgName("bands")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The window keeps its settings: in a directory of its own, not the user's.
  QTemporaryDir config;
  ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
