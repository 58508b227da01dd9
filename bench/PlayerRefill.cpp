// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The player's refill latency on the real sound stack: 60 s of a tone played
// by the component (16-bit mono 44100 Hz, 2048-frame buffers) through ALSA's
// default device into the private sound server's null sink, with Qt's event
// loop running the component's windows as in the program.
//
// Measured, per buffer: from the moment the OnBufferPlayed handler runs to
// the moment the waveOutWrite of the buffer refilled in its place has
// returned. That span holds the refill request's trip through the refill
// window (posted from the played-buffer step, dispatched by the event loop),
// the read from the stream, waveOutPrepareHeader and waveOutWrite. The k-th
// OnBufferPlayed is paired with the k-th write after the three that start
// the playing: each played buffer posts exactly one refill, and the refills
// run in order. The write's return is seen by an audio system that passes
// every call on to the default (ALSA) one and notes the time after
// waveOutWrite; the same wrapper reads the ALSA sink's underrun count just
// before the device closes.
//
// Counters: gap_median_ms, gap_p95_ms, gap_max_ms, buffers (gaps measured),
// underruns, failed_writes.
//
// The sound server: the one scripts/sound-server's environment points at,
// or a private one started for the run (SoundServer.h).
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "ForwardingAudioSystem.h"
#include "SoundServer.h"
#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/AudioSystem.h"
#include "platform/ResultCodes.h"
#include "platform/WaveOutDevice.h"
#include "platform/alsa/DefaultAudioSystem.h"

namespace {

using namespace platform;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr double kSeconds = 60.0;
// Play writes one buffer fewer than the ring of four before any completion.
constexpr std::size_t kStartWrites = 3;

// Notes when each successful waveOutWrite returned, and the sink's
// underruns when a device closes.
class TimedSystem : public bench::ForwardingAudioSystem {
 public:
  TimedSystem(AudioSystem& inner, std::size_t capacity) : ForwardingAudioSystem(inner) { writes.reserve(capacity); }

  std::vector<Clock::time_point> writes;
  std::size_t failedWrites = 0;
  std::size_t underruns = 0;

  MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* hdr, UINT size) override {
    const MMRESULT rc = ForwardingAudioSystem::waveOutWrite(h, hdr, size);
    if (rc != MMSYSERR_NOERROR)
      ++failedWrites;
    else if (writes.size() < writes.capacity())
      writes.push_back(Clock::now());
    return rc;
  }
  MMRESULT waveOutClose(HWAVEOUT h) override {
    if (h != nullptr) underruns = h->sink().underruns();
    return ForwardingAudioSystem::waveOutClose(h);
  }
};

QByteArray Tone(double seconds, double hz) {
  const auto frames = static_cast<qsizetype>(seconds * kRate);
  QByteArray bytes(frames * 2, Qt::Uninitialized);
  auto* s = reinterpret_cast<std::int16_t*>(bytes.data());
  for (qsizetype i = 0; i < frames; ++i)
    s[i] = static_cast<std::int16_t>(
        std::lround(16384 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate)));
  return bytes;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
  return v[std::min(i, v.size() - 1)];
}

void BM_PlayerRefill(benchmark::State& state) {
  const QByteArray tone = Tone(kSeconds, 440);
  const std::size_t buffers = static_cast<std::size_t>(tone.size() + 4095) / 4096;
  std::unique_ptr<AudioSystem> alsa = CreateDefaultAudioSystem();
  TimedSystem system(*alsa, buffers + kStartWrites);
  audio::TAudio a(nullptr, &system);
  a.Player->SetBitsPerSample(audio::TBPS::_16);
  a.Player->SetSampleRate(kRate);
  a.Recorder->SetNoSamples(2048);

  std::vector<Clock::time_point> played;
  played.reserve(buffers);
  a.OnBufferPlayed = [&](audio::TObject*) {
    if (played.size() < played.capacity()) played.push_back(Clock::now());
  };

  for (auto _ : state) {
    QEventLoop loop;
    a.OnPlayed = [&](audio::TObject*) { loop.quit(); };
    auto stream = std::make_unique<QBuffer>();
    stream->setData(tone);
    stream->open(QIODevice::ReadOnly);
    if (!a.Player->Play(std::move(stream))) {
      state.SkipWithError(("Play failed: " + a.ErrorMessage).c_str());
      return;
    }
    QTimer::singleShot(std::chrono::seconds(static_cast<int>(kSeconds) + 30), &loop, &QEventLoop::quit);
    loop.exec();
    if (a.Player->DeviceOpen) {
      a.Player->Stop();
      state.SkipWithError("OnPlayed did not come within 30 s of the tone's length");
      return;
    }
  }
  a.OnPlayed = nullptr;

  std::vector<double> gaps;
  for (std::size_t k = 0; k < played.size() && k + kStartWrites < system.writes.size(); ++k)
    gaps.push_back(std::chrono::duration<double, std::milli>(system.writes[k + kStartWrites] - played[k]).count());
  state.counters["gap_median_ms"] = Percentile(gaps, 0.5);
  state.counters["gap_p95_ms"] = Percentile(gaps, 0.95);
  state.counters["gap_max_ms"] = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
  state.counters["buffers"] = static_cast<double>(gaps.size());
  state.counters["underruns"] = static_cast<double>(system.underruns);
  state.counters["failed_writes"] = static_cast<double>(system.failedWrites);
}
BENCHMARK(BM_PlayerRefill)->Iterations(1)->Unit(benchmark::kSecond);

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
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
