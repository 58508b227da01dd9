// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-devices: lists the capture devices, then records from one through
// the audio component and prints a line per delivered block, and at the end
// how the blocks came: how far apart, and how old their newest sound was
// when it reached the program (the capture path's delay, from the device's
// stamp: what the driver or sound server reports it holds).
//
// The block handler runs on the device thread, so it only measures the block
// and pushes the figures into a lock-free ring; the main thread prints them.

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
               "level in dBFS, and whether the level trigger had fired. At the end: the number\n"
               "of blocks, how far apart they came, and the capture path's delay (how old a\n"
               "block's newest sound was when it arrived, from what the device reports).\n"
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
  std::int64_t arrivedNs;   // steady clock, when the handler got it
  std::int64_t capturedNs;  // when its newest frame was captured; 0: not known
};

std::int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The q-quantile of values (nearest rank); values is reordered.
double Quantile(std::vector<double>& values, double q) {
  const auto k = static_cast<std::ptrdiff_t>(std::ceil(q * static_cast<double>(values.size()))) - 1;
  const auto at = values.begin() + std::clamp<std::ptrdiff_t>(k, 0, std::ptrdiff_t(values.size()) - 1);
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

// How the blocks came, for the summary line: the spacing of consecutive
// blocks (median, 10th and 90th percentile, 0.1 ms: the program's clock) and
// the capture path's delay (median and 95th percentile; whole ms, as a sound
// server's account of its buffering wavers by about a millisecond). Withheld
// when there is too little to say: spacing below 3 blocks, the delay where
// the device gives no stamp.
std::string Timing(const std::vector<std::int64_t>& arrivals, std::vector<double>& delaysMs) {
  std::string s;
  char b[160];
  if (arrivals.size() >= 3) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < arrivals.size(); ++i) gaps.push_back(double(arrivals[i] - arrivals[i - 1]) / 1e6);
    const double p10 = Quantile(gaps, 0.1), p90 = Quantile(gaps, 0.9), median = Quantile(gaps, 0.5);
    std::snprintf(b, sizeof b, ", one every %.1f ms (median; 10th to 90th percentile %.1f to %.1f ms)", median, p10,
                  p90);
  } else {
    std::snprintf(b, sizeof b, ", spacing not known (too few blocks)");
  }
  s += b;
  if (!delaysMs.empty()) {
    const double p95 = Quantile(delaysMs, 0.95), median = Quantile(delaysMs, 0.5);
    std::snprintf(b, sizeof b, ", capture path %.0f ms (median; 95th percentile %.0f ms)", median, p95);
  } else {
    std::snprintf(b, sizeof b, ", capture path not known (the device gives no stamp)");
  }
  return s + b;
}

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
    BlockReport r{++blocks,
                  bytes,
                  dsp::MeasureBlock(LP, bytes, true),
                  {},
                  RP != nullptr,
                  rec.Triggered.load(),
                  SteadyNs(),
                  rec.BlockCapturedNs()};
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
  std::vector<std::int64_t> arrivals;
  std::vector<double> delaysMs;
  auto print = [&] {
    while (auto r = reports.take()) {
      arrivals.push_back(r->arrivedNs);
      if (r->capturedNs != 0) delaysMs.push_back(double(r->arrivedNs - r->capturedNs) / 1e6);
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
  // Blocks whose report was not kept (not printed) are missing from the timing.
  std::printf("%lu blocks%s%s\n", blocks, lost ? (", " + std::to_string(lost) + " not printed").c_str() : "",
              Timing(arrivals, delaysMs).c_str());
  return terminate.signal() != 0 ? tools::ExitForSignal(terminate.signal()) : 0;
}
