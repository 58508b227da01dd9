// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Capture on the real sound stack: Start/Stop cycles of the component's
// recorder with the main window's settings (16-bit mono 44100 Hz, blocks of
// 2048 frames, four buffers, trigger level 0) on the sound server that ALSA's
// default device reaches, with Qt's event loop running the recorder's window
// as in the program.
//
// Measured over the cycles:
// - start_*: from the call of Start to the first OnRecord (median, 10th and
//   90th percentile, max);
// - gap_*: between the OnRecord calls of consecutive blocks of a cycle
//   (10th percentile, median, 90th percentile);
// - blocks_3s_*: the blocks delivered within 3 s of Start, as
//   `quorvel-devices --seconds 3` counts them (fewest, median);
// - overruns: the ALSA source's, summed;
// - missing_blocks: blocks the run should have delivered but did not,
//   estimated from the span between a cycle's first and last block at
//   2048 frames a block against the blocks that came;
// - cpu_ms_per_s: CPU time of this process (GUI thread, device thread and
//   the sound-server client's threads) per second of capture, and
//   server_cpu_ms_per_s the same for the server's main process.
//
// Two cases: nothing playing into the server's sink (it idles), and a 1 kHz
// tone playing into it through pacat, as scripts/run plays one.
//
// The server: the one scripts/sound-server's environment points at, or a
// private one started for the run (QUORVEL_SOUND_SERVER=pulseaudio or
// pipewire chooses which).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "ForwardingAudioSystem.h"
#include "SoundServer.h"
#include "audio/Audio.h"
#include "audio/Recorder.h"
#include "platform/WaveInDevice.h"
#include "platform/alsa/AlsaCaptureSource.h"
#include "platform/alsa/DefaultAudioSystem.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kRate = 44100;
constexpr int kFrames = 2048;
constexpr double kBlockMs = 1000.0 * kFrames / kRate;
constexpr int kCycles = 6;
constexpr auto kCapture = std::chrono::seconds(3);
// Between Stop and the next Start, as a user clicking through.
constexpr auto kPause = std::chrono::seconds(1);

// Notes what the ALSA source counted before the device closes.
class CountingSystem : public bench::ForwardingAudioSystem {
 public:
  using ForwardingAudioSystem::ForwardingAudioSystem;
  std::size_t overruns = 0;
  unsigned long periodFrames = 0;

  MMRESULT waveInReset(HWAVEIN h) override {
    if (h != nullptr) {
      overruns += h->source().overruns();
      if (auto* alsa = dynamic_cast<platform::alsa::AlsaCaptureSource*>(&h->source()))
        periodFrames = alsa->periodFrames();
    }
    return ForwardingAudioSystem::waveInReset(h);
  }
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size())));
  return v[std::min(i == 0 ? 0 : i - 1, v.size() - 1)];
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// User and system time of another process, from /proc; 0 if it is unknown.
double OtherCpuMs(int pid) {
  if (pid <= 0) return 0;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  // Fields after the command: state is field 3, utime 14, stime 15.
  std::vector<std::string> f;
  std::size_t p = close + 2;
  while (p < stat.size() && f.size() < 13) {
    const std::size_t q = stat.find(' ', p);
    f.push_back(stat.substr(p, q - p));
    p = q == std::string::npos ? stat.size() : q + 1;
  }
  if (f.size() < 13) return 0;
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (std::stod(f[11]) + std::stod(f[12])) * 1e3 / ticks;
}

// A 1 kHz tone at half scale played into the server's default sink with
// pacat, with the short server-side buffer scripts/run gives it.
class Tone {
 public:
  explicit Tone(double seconds) {
    char path[] = "/tmp/quorvel-bench-tone-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return;
    file_ = path;
    std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < s.size(); ++i)
      s[i] = static_cast<std::int16_t>(std::lround(16384 * std::sin(2 * std::numbers::pi * 1000.0 * i / kRate)));
    const auto bytes = static_cast<ssize_t>(s.size() * sizeof s[0]);
    const bool written = write(fd, s.data(), static_cast<std::size_t>(bytes)) == bytes;
    close(fd);
    if (!written) return;
    const char* argv[] = {"pacat",        "--playback",        "--raw",       "--format=s16le", "--rate=44100",
                          "--channels=1", "--latency-msec=50", file_.c_str(), nullptr};
    if (posix_spawnp(&pid_, "pacat", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
  }
  ~Tone() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!file_.empty()) unlink(file_.c_str());
  }
  bool playing() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  std::string file_;
  pid_t pid_ = -1;
};

// Qt's default (coarse) timers may fire 5 % early: 150 ms, three blocks, of
// a 3 s capture.
void RunEventLoop(Clock::duration d) {
  QEventLoop loop;
  QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(d), Qt::PreciseTimer, &loop,
                     &QEventLoop::quit);
  loop.exec();
}

void BM_CaptureFlow(benchmark::State& state, bool tone, int serverPid) {
  std::unique_ptr<platform::AudioSystem> alsa = platform::CreateDefaultAudioSystem();
  CountingSystem system(*alsa);
  audio::TAudio a(nullptr, &system);
  audio::TRecorder& rec = *a.Recorder;
  rec.SetBitsPerSample(audio::TBPS::_16);
  rec.SetSampleRate(kRate);
  rec.SetNoSamples(kFrames);
  rec.SetTrigLevel(0);

  // Filled on the device thread: no allocation there.
  std::array<Clock::time_point, 4096> at{};
  std::atomic<std::size_t> count{0};
  a.OnRecord = [&](audio::TObject*, void*, void*, platform::WORD) {
    const std::size_t i = count.load(std::memory_order_relaxed);
    if (i < at.size()) at[i] = Clock::now();
    count.store(i + 1, std::memory_order_release);
  };

  std::unique_ptr<Tone> player;
  if (tone) {
    player = std::make_unique<Tone>(kCycles * std::chrono::duration<double>(kCapture + kPause).count() + 10);
    RunEventLoop(std::chrono::milliseconds(500));  // the stream is flowing
    if (!player->playing()) {
      state.SkipWithError("pacat does not play into the sound server");
      return;
    }
  }

  std::vector<double> starts, gaps, within3s;
  double missing = 0, captureMs = 0, cpuMs = 0, serverCpuMs = 0;
  for (auto _ : state) {
    for (int c = 0; c < kCycles; ++c) {
      count.store(0);
      rec.Triggered = false;
      const double cpu0 = ProcessCpuMs(), server0 = OtherCpuMs(serverPid);
      const Clock::time_point t0 = Clock::now();
      if (!rec.Start()) {
        state.SkipWithError(("Start failed: " + a.ErrorMessage).c_str());
        return;
      }
      RunEventLoop(kCapture);
      const Clock::time_point t1 = Clock::now();
      rec.Stop();
      cpuMs += ProcessCpuMs() - cpu0;
      serverCpuMs += OtherCpuMs(serverPid) - server0;
      captureMs += Ms(t1 - t0).count();

      const std::size_t n = std::min(count.load(std::memory_order_acquire), at.size());
      if (n == 0) {
        state.SkipWithError("no block within 3 s of Start");
        return;
      }
      starts.push_back(Ms(at[0] - t0).count());
      std::size_t in3s = 0;
      for (std::size_t i = 0; i < n; ++i) {
        if (at[i] - t0 <= kCapture) ++in3s;
        if (i > 0) gaps.push_back(Ms(at[i] - at[i - 1]).count());
      }
      within3s.push_back(static_cast<double>(in3s));
      const double expected = std::round(Ms(at[n - 1] - at[0]).count() / kBlockMs) + 1;
      missing += std::max(0.0, expected - static_cast<double>(n));
      RunEventLoop(kPause);
    }
  }

  state.counters["start_median_ms"] = Percentile(starts, 0.5);
  state.counters["start_p10_ms"] = Percentile(starts, 0.1);
  state.counters["start_p90_ms"] = Percentile(starts, 0.9);
  state.counters["start_max_ms"] = *std::max_element(starts.begin(), starts.end());
  state.counters["gap_p10_ms"] = Percentile(gaps, 0.1);
  state.counters["gap_median_ms"] = Percentile(gaps, 0.5);
  state.counters["gap_p90_ms"] = Percentile(gaps, 0.9);
  state.counters["blocks_3s_min"] = *std::min_element(within3s.begin(), within3s.end());
  state.counters["blocks_3s_median"] = Percentile(within3s, 0.5);
  state.counters["overruns"] = static_cast<double>(system.overruns);
  state.counters["missing_blocks"] = missing;
  state.counters["cpu_ms_per_s"] = cpuMs / captureMs * 1000;
  state.counters["server_cpu_ms_per_s"] = serverPid > 0 ? serverCpuMs / captureMs * 1000 : -1;
  state.counters["period_frames"] = static_cast<double>(system.periodFrames);
  state.counters["cycles"] = static_cast<double>(starts.size());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  bench::SoundServer server;
  if (!server.reachable()) {
    std::fprintf(stderr, "no sound server: scripts/sound-server did not start\n");
    return 1;
  }
  benchmark::AddCustomContext("sound_server", server.kind());
  const int pid = server.pid();
  benchmark::RegisterBenchmark("BM_CaptureFlow/silent", BM_CaptureFlow, false, pid)
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("BM_CaptureFlow/tone", BM_CaptureFlow, true, pid)
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
