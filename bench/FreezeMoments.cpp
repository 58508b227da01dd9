// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One moment of a sound server that stops answering, timed: the program
// sets a device (or the main window) going on the private sound server,
// freezes the server (SIGSTOP to QUORVEL_FREEZE_PID) and prints how many
// milliseconds the call at that moment blocked its caller. bench/freeze-times
// runs each moment in a process of its own under a time cap, since a call
// may not come back at all, and continues the server afterwards.
//
//   bench_freeze_moments in-reset|in-close|out-reset|out-close|mixer-close|
//                        in-open|out-open|mixer-open|mixer-caps|mixer-read|
//                        in-stall|out-stall|window-stop|window-close
//
// in-stall and out-stall time how long the recorder's capture and the
// player's playing run on with the server frozen before the component
// reports them failed and closed (past the stall limit).
//
// window-close prints nothing: it writes the wall-clock time (ms) at which
// the window starts closing to QUORVEL_FREEZE_MARK, and the script takes
// the time until the process has ended.
#include <QApplication>
#include <QBuffer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Main_unt.h"
#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaAudioSystem.h"

namespace {

using namespace platform;
using Clock = std::chrono::steady_clock;

void Freeze() {
  const char* pid = std::getenv("QUORVEL_FREEZE_PID");
  if (pid != nullptr) kill(std::atoi(pid), SIGSTOP);
}

void PumpFor(int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) ProcessMessages();
}

// Prints the milliseconds `call` took and ends the process at once: what
// the moment left behind (a device stuck in the server) is not waited for.
template <typename Call>
[[noreturn]] void Time(Call&& call) {
  const auto start = Clock::now();
  call();
  std::printf("%.0f\n", std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  std::fflush(stdout);
  std::_Exit(0);
}

void Callback(HWAVEIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

// Four buffers of 2048 mono 16-bit frames.
struct Buffers {
  std::vector<std::vector<char>> data{4, std::vector<char>(4096)};
  WAVEHDR headers[4]{};
  Buffers() {
    for (int i = 0; i < 4; ++i) {
      headers[i].lpData = data[i].data();
      headers[i].dwBufferLength = 4096;
    }
  }
};

const WAVEFORMATEX kFormat{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};

int Input(alsa::AlsaAudioSystem& system, const std::string& moment) {
  HWAVEIN in = nullptr;
  if (moment == "in-open") {
    Freeze();
    Time([&] {
      system.waveInOpen(&in, WAVE_MAPPER, &kFormat, reinterpret_cast<DWORD_PTR>(&Callback), 0, CALLBACK_FUNCTION);
    });
  }
  if (system.waveInOpen(&in, WAVE_MAPPER, &kFormat, reinterpret_cast<DWORD_PTR>(&Callback), 0, CALLBACK_FUNCTION))
    return 1;
  Buffers b;
  for (WAVEHDR& h : b.headers) {
    system.waveInPrepareHeader(in, &h, sizeof h);
    system.waveInAddBuffer(in, &h, sizeof h);
  }
  system.waveInStart(in);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  if (moment == "in-reset") {
    Freeze();
    Time([&] { system.waveInReset(in); });
  }
  system.waveInReset(in);
  for (WAVEHDR& h : b.headers) system.waveInUnprepareHeader(in, &h, sizeof h);
  Freeze();
  Time([&] { system.waveInClose(in); });
}

int Output(alsa::AlsaAudioSystem& system, const std::string& moment, HWND window) {
  HWAVEOUT out = nullptr;
  if (moment == "out-open") {
    Freeze();
    Time([&] {
      system.waveOutOpen(&out, WAVE_MAPPER, &kFormat, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    });
  }
  if (system.waveOutOpen(&out, WAVE_MAPPER, &kFormat, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW))
    return 1;
  Buffers b;
  for (WAVEHDR& h : b.headers) {
    system.waveOutPrepareHeader(out, &h, sizeof h);
    system.waveOutWrite(out, &h, sizeof h);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (moment == "out-reset") {
    Freeze();
    Time([&] { system.waveOutReset(out); });
  }
  system.waveOutReset(out);
  for (WAVEHDR& h : b.headers) system.waveOutUnprepareHeader(out, &h, sizeof h);
  Freeze();
  Time([&] { system.waveOutClose(out); });
}

int Mixer(alsa::AlsaAudioSystem& system, const std::string& moment, HWND window) {
  HMIXER mixer = nullptr;
  if (moment == "mixer-open") {
    Freeze();
    Time([&] { system.mixerOpen(&mixer, 0, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW); });
  }
  if (moment == "mixer-caps") {
    Freeze();
    MIXERCAPSA caps{};
    Time([&] { system.mixerGetDevCapsA(0, &caps, sizeof caps); });
  }
  if (system.mixerOpen(&mixer, 0, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW)) return 1;
  if (moment == "mixer-read") {
    // The mixer's first read, of its first line's volume.
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    MIXERCONTROLA control{};
    MIXERLINECONTROLSA controls{sizeof controls, 0, {MIXERCONTROL_CONTROLTYPE_VOLUME}, 1, sizeof control, &control};
    if (system.mixerGetLineInfoA(mixer, &line, MIXER_GETLINEINFOF_DESTINATION)) return 1;
    controls.dwLineID = line.dwLineID;
    if (system.mixerGetLineControlsA(mixer, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE)) return 1;
    DWORD values[2] = {};
    MIXERCONTROLDETAILS details{sizeof details, control.dwControlID, 1, 0, sizeof(MIXERCONTROLDETAILS_UNSIGNED),
                                values};
    Freeze();
    Time([&] { system.mixerGetControlDetailsA(mixer, &details, MIXER_GETCONTROLDETAILSF_VALUE); });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Freeze();
  Time([&] { system.mixerClose(mixer); });
}

// The component's capture (in-stall) or playing (out-stall), until the
// component has closed its device after the server stopped answering.
int Stall(const std::string& moment) {
  audio::TAudio audio(nullptr);
  audio.Recorder->SetBitsPerSample(audio::TBPS::_16);
  audio.Recorder->SetSampleRate(44100);
  audio.Recorder->SetNoSamples(2048);
  audio::TAudioSettings& part = moment == "in-stall" ? static_cast<audio::TAudioSettings&>(*audio.Recorder)
                                                     : static_cast<audio::TAudioSettings&>(*audio.Player);
  if (moment == "in-stall") {
    if (!audio.Recorder->Start()) return 1;
  } else {
    auto tone = std::make_unique<QBuffer>();
    tone->setData(QByteArray(44100 * 2 * 30, '\0'));
    tone->open(QIODevice::ReadOnly);
    if (!audio.Player->Play(std::move(tone))) return 1;
  }
  PumpFor(1000);
  Freeze();
  Time([&] {
    while (part.DeviceOpen) ProcessMessages();
  });
}

int Window(const std::string& moment) {
  app::TMain_Form::MessageSink = [](const QString& m) { std::fprintf(stderr, "%s\n", m.toStdString().c_str()); };
  auto* form = new app::TMain_Form;
  form->BtnStart->click();
  PumpFor(1500);
  Freeze();
  PumpFor(300);
  if (moment == "window-stop") Time([&] { form->BtnStart->click(); });
  if (const char* mark = std::getenv("QUORVEL_FREEZE_MARK")) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::ofstream(mark) << std::chrono::duration_cast<std::chrono::milliseconds>(now).count() << "\n";
  }
  form->close();
  delete form;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const std::string moment = argc > 1 ? argv[1] : "";
  if (moment.starts_with("window-")) return Window(moment);
  if (moment.ends_with("-stall")) return Stall(moment);
  alsa::AlsaAudioSystem system;
  NotifyWindow window([](Message&) {});
  if (moment.starts_with("in-")) return Input(system, moment);
  if (moment.starts_with("out-")) return Output(system, moment, &window);
  if (moment.starts_with("mixer-")) return Mixer(system, moment, &window);
  std::fprintf(stderr, "usage: bench_freeze_moments MOMENT (see the source)\n");
  return 64;
}
