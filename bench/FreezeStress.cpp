// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Many freezes of the sound server around the give-up bound, one after the
// other in one process, as the program meets them. Each cycle captures and
// plays through the audio component, stops the server (SIGSTOP to
// QUORVEL_FREEZE_PID) for a random while within 200 ms of
// kDeviceAnswerLimit, and meanwhile stops capture and playback; every
// fourth cycle instead starts capture and playback while the server is
// stopped, and stops them once it answers. Then the server is continued.
//
// It prints the threads of the process and the streams the server still
// holds, once after the first cycle and once after the last, each a second
// and a half after the server was continued, with every device closed: a
// device given up on that never lets go shows as a stream left, and one
// whose thread never ends as a thread gained.
//
//   bench_freeze_stress [CYCLES]    (default 100; bench/freeze-stress runs it)
#include <QApplication>
#include <QBuffer>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/AudioSystem.h"
#include "platform/NotifyWindow.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

void PumpFor(Clock::duration duration) {
  for (const auto end = Clock::now() + duration; Clock::now() < end; std::this_thread::sleep_for(2ms))
    platform::ProcessMessages();
}

std::size_t Threads() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// The server's streams of one kind ("source-outputs": capture,
// "sink-inputs": playback), as its PulseAudio interface lists them.
std::size_t Streams(const char* kind) {
  const std::string command = std::string("pactl list short ") + kind + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return 0;
  std::size_t lines = 0;
  for (int c; (c = std::fgetc(pipe)) != EOF;) lines += c == '\n';
  pclose(pipe);
  return lines;
}

// Ten seconds of a 440 Hz tone, 16-bit mono at 44100 Hz.
std::unique_ptr<QIODevice> Tone() {
  QByteArray bytes(44100 * 2 * 10, '\0');
  auto* samples = reinterpret_cast<std::int16_t*>(bytes.data());
  for (int i = 0; i < 44100 * 10; ++i)
    samples[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 44100.0));
  auto tone = std::make_unique<QBuffer>();
  tone->setData(bytes);
  tone->open(QIODevice::ReadOnly);
  return tone;
}

// Starts capture and playback. An open refused while the one given up on in
// the cycle before has not come back is tried again, for a second at most.
void Start(audio::TAudio& audio) {
  for (const auto end = Clock::now() + 1s; !audio.Recorder->Start() && Clock::now() < end;) PumpFor(20ms);
  for (const auto end = Clock::now() + 1s; !audio.Player->Play(Tone()) && Clock::now() < end;) PumpFor(20ms);
}

void Stop(audio::TAudio& audio) {
  audio.Recorder->Stop();
  audio.Player->Stop();
}

void Cycle(audio::TAudio& audio, pid_t server, std::mt19937& random, bool startWhileFrozen) {
  const auto bound = static_cast<int>(platform::kDeviceAnswerLimit.count());
  const auto hold = std::chrono::milliseconds(std::uniform_int_distribution<int>(bound - 200, bound + 200)(random));
  const auto delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 150)(random));
  if (!startWhileFrozen) {
    Start(audio);
    PumpFor(200ms);
  }
  std::thread freezer([&] {
    kill(server, SIGSTOP);
    std::this_thread::sleep_for(hold);
    kill(server, SIGCONT);
  });
  PumpFor(delay);
  if (startWhileFrozen) Start(audio);
  Stop(audio);
  freezer.join();
  PumpFor(300ms);
  Stop(audio);
}

void Report(const char* when, std::size_t cycles, const audio::TAudio& audio) {
  PumpFor(1500ms);
  std::printf("%-20s cycles %3zu  threads %3zu  streams left: capture %zu, playback %zu  (given up on so far: %u)\n",
              when, cycles, Threads(), Streams("source-outputs"), Streams("sink-inputs"),
              audio.System().devicesAbandoned());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const char* pid = std::getenv("QUORVEL_FREEZE_PID");
  if (pid == nullptr) {
    std::fprintf(stderr, "bench_freeze_stress: QUORVEL_FREEZE_PID names no sound server\n");
    return 64;
  }
  const pid_t server = std::atoi(pid);
  const std::size_t cycles = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
  audio::TAudio audio(nullptr);
  audio.Recorder->SetBitsPerSample(audio::TBPS::_16);
  audio.Recorder->SetSampleRate(44100);
  audio.Recorder->SetNoSamples(2048);
  std::mt19937 random(2026);
  for (std::size_t i = 1; i <= cycles; ++i) {
    Cycle(audio, server, random, i % 4 == 0);
    if (i == 1) Report("after one freeze", i, audio);
  }
  Report("after all freezes", cycles, audio);
  return 0;
}
