// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-devices: lists the capture devices, then records from one through
// the audio component and prints a line per delivered block.
//
// The block handler runs on the device thread, so it only measures the block
// and pushes the figures into a lock-free ring; the main thread prints them.

#include <QCoreApplication>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/Audio.h"
#include "audio/Recorder.h"
#include "audio/Texts.h"
#include "dsp/BlockLevels.h"
#include "platform/AudioSystem.h"
#include "platform/SpscRing.h"
#include "platform/TerminationSignals.h"
#include "tools/CommandLine.h"

namespace {

struct Options {
  int device = -1;
  double seconds = 3;
  int trigger = 0;
  bool stereo = false;
  bool split = false;
};

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: quorvel-devices [--device N] [--seconds S] [--trigger LEVEL] [--stereo [--split]]\n"
               "\n"
               "Lists the capture devices, then records 16-bit blocks of 2048 frames at 44100 Hz\n"
               "and prints one line per delivered block: block number, bytes, peak and RMS\n"
               "level in dBFS, and whether the level trigger had fired.\n"
               "\n"
               "  --device N       capture device number from the list; -1 (default) is the\n"
               "                   system's default input\n"
               "  --seconds S      how long to record, up to 86400 (default 3)\n"
               "  --trigger LEVEL  deliver blocks only from the first sample >= LEVEL on\n"
               "                   (-32768..32767; default 0)\n"
               "  --stereo         record two channels\n"
               "  --split          with --stereo: deliver the channels separately\n"
               "  --help           this text\n"
               "  --version        the release number\n"
               "\n"
               "Ctrl+C ends the recording early. Exits with 1 and the component's error\n"
               "message when capture cannot start or fails, 64 for a bad command line,\n"
               "128 + the signal's number when a signal ended it (130 for Ctrl+C).\n");
}

// The longest recording: a day, well within what a timer counts in milliseconds.
constexpr double kMostSeconds = 86400;

// Says what is wrong with the command line; false for a bad one.
bool Parse(int argc, char** argv, Options& o) {
  auto bad = [](const std::string& why) { return tools::Complain("quorvel-devices", why); };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool valued = a == "--device" || a == "--seconds" || a == "--trigger";
    if (valued && i + 1 >= argc) return bad(a + " needs a value");
    const std::string value = valued ? argv[++i] : "";
    long v = 0;
    if (tools::IsHelp(a)) {
      tools::ShowHelp(Usage);
    } else if (tools::IsVersion(a)) {
      tools::ShowVersion("quorvel-devices");
    } else if (a == "--device") {
      if (!tools::ParseInt(value.c_str(), -1, 9, v))
        return bad("--device takes a capture device number from the list (-1 to 9), not '" + value + "'");
      o.device = static_cast<int>(v);
    } else if (a == "--seconds") {
      char* end = nullptr;
      o.seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !std::isfinite(o.seconds))
        return bad("--seconds takes a number of seconds, not '" + value + "'");
      if (!(o.seconds > 0) || o.seconds > kMostSeconds)
        return bad("--seconds must be more than 0 and at most 86400 (a day), not " + value);
    } else if (a == "--trigger") {
      if (!tools::ParseInt(value.c_str(), -32768, 32767, v))
        return bad("--trigger takes a sample level from -32768 to 32767, not '" + value + "'");
      o.trigger = static_cast<int>(v);
    } else if (a == "--stereo") {
      o.stereo = true;
    } else if (a == "--split") {
      o.split = true;
    } else {
      return bad("unknown argument '" + a + "'");
    }
  }
  if (o.split && !o.stereo) return bad("--split needs --stereo");
  return true;
}

struct BlockReport {
  unsigned long number;
  unsigned bytes;
  dsp::BlockLevels left, right;
  bool split;
  bool triggered;
};

std::string Db(double db) {
  if (!std::isfinite(db)) return "  -inf";
  char b[16];
  std::snprintf(b, sizeof b, "%6.1f", db);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  if (!Parse(argc, argv, o)) return tools::UsageError(Usage);

  audio::TAudio audio(nullptr);
  platform::AudioSystem& system = audio.System();
  const unsigned count = system.waveInGetNumDevs();
  std::printf("Capture devices: %u\n", count);
  std::printf("  -1  default (the system's default input)\n");
  for (unsigned i = 0; i < count; ++i) {
    platform::WAVEINCAPSA caps{};
    if (system.waveInGetDevCapsA(i, &caps, sizeof caps) == 0) std::printf("  %2u  %s\n", i, caps.szPname);
  }

  // The main window's format, stereo if asked.
  audio::TRecorder& rec = *audio.Recorder;
  rec.SetBitsPerSample(audio::TBPS::_16);
  rec.SetSampleRate(44100);
  rec.SetChannels(o.stereo ? audio::TChannels::Stereo : audio::TChannels::Mono);
  rec.SetNoSamples(2048);
  rec.SetSplitChannels(o.split);
  rec.SetTrigLevel(static_cast<platform::WORD>(static_cast<std::int16_t>(o.trigger)));
  audio.SetAudioDeviceID(o.device);
  rec.Triggered = false;

  platform::SpscRing<BlockReport, 256> reports;
  unsigned long blocks = 0, lost = 0;
  audio.OnRecord = [&](audio::TObject*, void* LP, void* RP, platform::WORD bytes) {
    BlockReport r{++blocks, bytes, dsp::MeasureBlock(LP, bytes, true), {}, RP != nullptr, rec.Triggered.load()};
    if (RP) r.right = dsp::MeasureBlock(RP, bytes, true);
    if (!reports.push(r)) ++lost;
  };

  std::printf("Recording %.1f s from device %d: %s, 16 bits, 44100 Hz, 2048 frames per block\n", o.seconds, o.device,
              o.stereo ? "stereo" : "mono");
  if (!rec.Start()) {
    std::fprintf(stderr, "quorvel-devices: %s\n", audio::ForUser(audio.ErrorMessage).c_str());
    return tools::kExitFailure;
  }

  platform::TerminationSignals terminate([&app] { app.quit(); });
  auto print = [&] {
    while (auto r = reports.take()) {
      if (r->split)
        std::printf("block %5lu  %5u bytes/channel  L peak %s rms %s  R peak %s rms %s dBFS  %s\n", r->number, r->bytes,
                    Db(r->left.peakDb).c_str(), Db(r->left.rmsDb).c_str(), Db(r->right.peakDb).c_str(),
                    Db(r->right.rmsDb).c_str(), r->triggered ? "triggered" : "-");
      else
        std::printf("block %5lu  %5u bytes  peak %s dBFS  rms %s dBFS  %s\n", r->number, r->bytes,
                    Db(r->left.peakDb).c_str(), Db(r->left.rmsDb).c_str(), r->triggered ? "triggered" : "-");
    }
    std::fflush(stdout);
  };
  QTimer printer;
  QObject::connect(&printer, &QTimer::timeout, [&] {
    print();
    // A device that failed stops the recorder from the GUI thread.
    if (!rec.DeviceOpen) app.quit();
  });
  printer.start(20);
  // A precise timer: Qt's default one may end a 3 s recording 150 ms early.
  QTimer::singleShot(static_cast<int>(o.seconds * 1000), Qt::PreciseTimer, &app, &QCoreApplication::quit);
  app.exec();

  const bool failed = !rec.DeviceOpen;
  const std::string failure = audio::ForUser(audio.ErrorMessage);
  const bool stopped = rec.Stop();
  print();
  tools::SayIfAbandoned("quorvel-devices", system);
  if (failed) {
    std::fprintf(stderr, "quorvel-devices: capture ended: %s\n", failure.c_str());
    return tools::kExitFailure;
  }
  if (!stopped) {
    std::fprintf(stderr, "quorvel-devices: %s\n", audio::ForUser(audio.ErrorMessage).c_str());
    return tools::kExitFailure;
  }
  std::printf("%lu blocks%s\n", blocks, lost ? (", " + std::to_string(lost) + " not printed").c_str() : "");
  return terminate.signal() != 0 ? tools::ExitForSignal(terminate.signal()) : 0;
}
