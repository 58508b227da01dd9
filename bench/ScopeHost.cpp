// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_scope_host [--seconds S]: the display library alone, in a host of its
// own, fed as the program feeds it.
//
// It loads the library by name, as the program does, creates and shows the
// program's two scopes, and from a thread of its own hands them what the
// program hands them at its pace: every 2048 / 44100 s (after a sleep) a
// block of 2048 trace points and a spectrum frame of 1044 points, through
// the resolved ShowNext with one ScopePoint overwritten between calls. The
// signal is a 997 Hz tone at -6 dBFS with its 2nd and 3rd harmonics at -50
// and -60 dBFS, quantised to 16 bits; the frames are the analyser's own,
// made from it before the clock starts.
//
// It prints, for the blocks after the first second, the producer's time per
// ShowNext call (a block's 3092 calls, divided), in ns: of the wall clock
// (median, 90th percentile, mean) and of the thread's CPU time (median, 90th
// percentile; a thread preempted in mid-block on a busy machine counts only
// in the wall time). Its CPU and
// memory are what bench/scope-cpu reads from /proc while it runs.
#include <dlfcn.h>
#include <time.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "analysis/FFT_Unit.h"
#include "scope/ScopeApi.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 2048;
constexpr int kBlocksMade = 64;  // distinct blocks, sent round and round

std::int64_t Nanoseconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::vector<ScopePoint>* recording = nullptr;
void Record(std::int32_t, const ScopePoint* p) { recording->push_back(*p); }

double Percentile(std::vector<double> v, double q) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, std::size_t(q * double(v.size())))];
}

template <class Fn>
bool Resolve(void* lib, Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(dlsym(lib, name));
  if (fn == nullptr) std::fprintf(stderr, "bench_scope_host: the library has no %s\n", name);
  return fn != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 25;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: bench_scope_host [--seconds S]\n");
      return 64;
    }
  }
  QApplication app(argc, argv);

  // The signal's blocks and the analyser's frames of them.
  std::vector<std::vector<float>> blocks(kBlocksMade, std::vector<float>(kBlock));
  std::vector<std::vector<ScopePoint>> frames(kBlocksMade);
  if (!analysis::FFT_Init()) return 1;
  for (int b = 0; b < kBlocksMade; ++b) {
    for (int i = 0; i < kBlock; ++i) {
      const double t = double(b * kBlock + i) / kRate, w = 2 * std::numbers::pi * 997 * t;
      const double v = 0.5 * std::sin(w) + 0.00316 * std::sin(2 * w) + 0.001 * std::sin(3 * w);
      blocks[size_t(b)][size_t(i)] = analysis::StoreSample(i, float(std::lround(v * 32767)) / 32768.0f);
    }
    analysis::FFT_Spectrum();
    recording = &frames[size_t(b)];
    ScopePoint last{};
    analysis::SpectrumFrame(analysis::PowerBuffer, kBlock, &Record, 0, last);
  }
  analysis::FFT_Free();

  void* lib = dlopen("libQuorvel_DLL.so", RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    std::fprintf(stderr, "bench_scope_host: %s\n", dlerror());
    return 1;
  }
  AtOpenLibFn atOpenLib = nullptr;
  ShowNextFn showNext = nullptr;
  ScopeCreateFn scopeCreate = nullptr;
  ScopeShowFn scopeShow = nullptr;
  ScopeDestroyFn scopeDestroy = nullptr;
  QuickUpDateFn quickUpDate = nullptr;
  if (!Resolve(lib, atOpenLib, "AtOpenLib")) return 1;
  atOpenLib(0);
  if (!Resolve(lib, showNext, "ShowNext") || !Resolve(lib, scopeCreate, "ScopeCreate") ||
      !Resolve(lib, scopeShow, "ScopeShow") || !Resolve(lib, scopeDestroy, "ScopeDestroy") ||
      !Resolve(lib, quickUpDate, "QuickUpDate"))
    return 1;
  const std::int32_t signal = scopeCreate(0, 0, nullptr);
  scopeShow(signal);
  const std::int32_t spectrum = scopeCreate(0, 0, "FFT");
  scopeShow(spectrum);

  std::atomic<bool> stop{false};
  std::vector<double> wallNs, cpuNs;  // per call, per block
  std::thread producer([&] {
    ScopePoint signalPoint{}, spectrumPoint{};
    const auto period = std::chrono::nanoseconds(std::int64_t(1e9 * kBlock / kRate));
    auto next = std::chrono::steady_clock::now();
    const std::int64_t warm = Nanoseconds(CLOCK_MONOTONIC) + 1000000000;
    for (int b = 0; !stop.load(std::memory_order_relaxed); ++b) {
      next += period;
      std::this_thread::sleep_until(next);
      const std::int64_t wall = Nanoseconds(CLOCK_MONOTONIC), cpu = Nanoseconds(CLOCK_THREAD_CPUTIME_ID);
      for (float v : blocks[size_t(b % kBlocksMade)]) {
        signalPoint = ScopePoint{{double(v), 0, 0}};
        showNext(signal, &signalPoint);
      }
      for (const ScopePoint& p : frames[size_t(b % kBlocksMade)]) {
        spectrumPoint = p;
        showNext(spectrum, &spectrumPoint);
      }
      const double calls = double(kBlock) + double(frames[0].size());
      if (wall > warm) {
        wallNs.push_back(double(Nanoseconds(CLOCK_MONOTONIC) - wall) / calls);
        cpuNs.push_back(double(Nanoseconds(CLOCK_THREAD_CPUTIME_ID) - cpu) / calls);
      }
    }
  });
  QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
  app.exec();
  stop = true;
  producer.join();
  quickUpDate(signal);
  quickUpDate(spectrum);
  auto mean = [](const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return v.empty() ? NAN : sum / double(v.size());
  };
  std::printf(
      "ShowNext at the program's pace, ns per call over %zu blocks: wall median %.1f, 90th percentile %.1f,"
      " mean %.1f; thread CPU median %.1f, 90th percentile %.1f\n",
      wallNs.size(), Percentile(wallNs, 0.5), Percentile(wallNs, 0.9), mean(wallNs), Percentile(cpuNs, 0.5),
      Percentile(cpuNs, 0.9));
  scopeDestroy(spectrum);
  scopeDestroy(signal);
  dlclose(lib);
  return 0;
}
