// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-measure: measures a device (an interface, a cable, an amplifier,
// a filter...) by playing a stimulus through an output while capturing an
// input, and prints what came back: the delay, the signal-to-noise ratio,
// the clock drift and the response; --out writes the response, the
// distortion and the impulse response as files.
//
// The command line is checked first (exit 64), then the devices (exit 1);
// what came back but cannot be read as a response exits 2.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "audio/Audio.h"
#include "audio/Measurement.h"
#include "measure/ResultFiles.h"
#include "platform/TerminationSignals.h"
#include "tools/CommandLine.h"

namespace {

// What came back cannot be read as a response; a device failing is
// tools::kExitFailure.
constexpr int kUnreadable = 2;

struct Options {
  measure::Settings settings{.levelDbfs = -12};
  bool averagesGiven = false;
  long playDevice = -1, recordDevice = -1;
  std::string out;
};

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: quorvel-measure [--stimulus sweep|noise] [--seconds S] [--level DBFS]\n"
               "                       [--from HZ] [--to HZ] [--averages N] [--rate HZ]\n"
               "                       [--play-device N] [--record-device N] [--out DIR]\n"
               "\n"
               "Measures a device: plays a stimulus through an output while capturing an input\n"
               "(by default the system's, so on a desktop the sound server), and prints the delay\n"
               "through the loop, the signal-to-noise ratio, the clock drift between the two\n"
               "devices and the response over the band.\n"
               "\n"
               "  --stimulus S        sweep (exponential sine sweep, default) or noise (periodic\n"
               "                      pink noise, with coherence)\n"
               "  --seconds S         the sweep's length, 1 to 60 (default 10)\n"
               "  --level DBFS        the stimulus level, AES17, -60 to 0 (default -12)\n"
               "  --from HZ, --to HZ  the band reported (default 20 to 20000)\n"
               "  --averages N        sweeps, or noise periods, averaged (default 1; noise 8)\n"
               "  --rate HZ           sample rate, 8000 to 65535 (default 44100)\n"
               "  --play-device N     output device (quorvel-play --list); -1 the default\n"
               "  --record-device N   input device (quorvel-devices); -1 the default\n"
               "  --out DIR           write response.csv, distortion.csv and impulse.wav there\n"
               "  --help              this text\n"
               "  --version           the release number\n"
               "\n"
               "Ctrl+C stops the stimulus at once. Exits with 0 when measured, 1 when a device\n"
               "fails, 2 when what came back cannot be read as a response, 64 for a bad command\n"
               "line, 130 for Ctrl+C.\n");
}

bool Parse(int argc, char** argv, Options& o) {
  auto bad = [](const std::string& why) { return tools::Complain("quorvel-measure", why); };
  measure::Settings& s = o.settings;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (tools::IsHelp(a)) tools::ShowHelp(Usage);
    if (tools::IsVersion(a)) tools::ShowVersion("quorvel-measure");
    if (!a.starts_with("--")) return bad("unexpected '" + a + "': options only");
    const char* v = i + 1 < argc ? argv[++i] : nullptr;
    const std::string text = v ? v : "";
    long whole = 0;
    double number = 0;
    if (a == "--stimulus") {
      if (text != "sweep" && text != "noise") return bad("--stimulus takes sweep or noise, not '" + text + "'");
      s.kind = text == "noise" ? measure::Settings::Kind::Noise : measure::Settings::Kind::Sweep;
    } else if (a == "--seconds") {
      if (!v || !tools::ParseNumber(v, 1, 60, s.seconds)) return bad("--seconds takes 1 to 60, not '" + text + "'");
    } else if (a == "--level") {
      if (!v || !tools::ParseNumber(v, -60, 0, s.levelDbfs))
        return bad("--level takes dBFS from -60 to 0, not '" + text + "'");
    } else if (a == "--from" || a == "--to") {
      if (!v || !tools::ParseNumber(v, 1, 1e6, number))
        return bad(a + " takes a frequency in hertz, not '" + text + "'");
      (a == "--from" ? s.fromHz : s.toHz) = number;
    } else if (a == "--averages") {
      if (!v || !tools::ParseInt(v, 1, 64, whole)) return bad("--averages takes 1 to 64, not '" + text + "'");
      s.averages = static_cast<int>(whole);
      o.averagesGiven = true;
    } else if (a == "--rate") {
      if (!v || !tools::ParseInt(v, 8000, 65535, whole))
        return bad("--rate takes a sample rate from 8000 to 65535 Hz, not '" + text + "'");
      s.rate = static_cast<unsigned>(whole);
    } else if (a == "--play-device" || a == "--record-device") {
      if (!v || !tools::ParseInt(v, -1, 65535, whole))
        return bad(a + " takes a device number, or -1 for the default, not '" + text + "'");
      (a == "--play-device" ? o.playDevice : o.recordDevice) = whole;
    } else if (a == "--out") {
      if (!v) return bad("--out needs a directory");
      o.out = text;
    } else {
      return bad("unknown option '" + a + "'");
    }
  }
  if (s.kind == measure::Settings::Kind::Noise && !o.averagesGiven) s.averages = 8;
  if (s.kind == measure::Settings::Kind::Noise && s.averages < 2)
    return bad("noise needs at least 2 periods (--averages): coherence and drift are read between them");
  const double nyquist = s.rate / 2.0;
  if (s.toHz > 0.48 * s.rate)
    return bad("--to must stay below 0.48 times the rate (" + measure::Figure(0.48 * s.rate, 0) + " Hz at " +
               std::to_string(s.rate) + " Hz): the sweep goes on a little above it, short of " +
               measure::Figure(nyquist, 0) + " Hz");
  if (s.fromHz * 2 > s.toHz) return bad("the band needs an octave at least: --from below half of --to");
  if (s.kind == measure::Settings::Kind::Noise && s.fromHz < 20)
    return bad("noise starts at 10 Hz: --from must be 20 Hz or above");
  if (!o.out.empty()) {
    const QFileInfo dir(QString::fromStdString(o.out));
    if (!dir.isDir() || !dir.isWritable())
      return bad("--out: '" + o.out + "' is not a directory this user can write into");
  }
  return true;
}

void Summary(const measure::Result& r) {
  double lo = 1e9, hi = -1e9;
  for (const measure::ResponsePoint& p : r.response) lo = std::min(lo, p.magnitudeDb), hi = std::max(hi, p.magnitudeDb);
  const measure::ResponsePoint& first = r.response.front();
  const measure::ResponsePoint& last = r.response.back();
  std::printf("Delay %s samples (%s ms), SNR %s dB, drift %s ppm; response %s to %s dB from %s Hz to %s Hz\n",
              measure::Figure(r.delaySamples, 2).c_str(), measure::Figure(r.delayMs, 3).c_str(),
              measure::Figure(r.snrDb, 1).c_str(), measure::Figure(r.driftPpm, 1).c_str(),
              measure::Figure(lo, 2).c_str(), measure::Figure(hi, 2).c_str(), measure::Figure(first.hz, 0).c_str(),
              measure::Figure(last.hz, 0).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  if (!Parse(argc, argv, o)) return tools::UsageError(Usage);

  audio::TAudio audio(nullptr);
  audio::TMeasurement measurement(audio);
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  int lastPercent = -1;
  measurement.OnProgress = [&](double fraction) {
    const int percent = static_cast<int>(fraction * 100);
    if (!terminal || percent == lastPercent) return;
    lastPercent = percent;
    std::printf("\rMeasuring: %3d %%", percent);
    std::fflush(stdout);
  };
  int code = 0;
  bool interrupted = false;
  measurement.OnFinished = [&] {
    if (terminal) std::printf("\r\033[K");
    if (interrupted) {
      std::printf("Stopped\n");
    } else if (!measurement.Succeeded()) {
      std::fprintf(stderr, "quorvel-measure: %s\n", measurement.Why().c_str());
      code = measurement.DeviceFailed() ? tools::kExitFailure : kUnreadable;
    } else {
      const measure::Result& r = measurement.Result();
      Summary(r);
      if (r.clippedSamples > 0)
        std::fprintf(stderr, "quorvel-measure: the input clipped (%zu samples at full scale): lower --level\n",
                     r.clippedSamples);
      std::string why;
      if (!o.out.empty() && !measure::WriteResultFiles(r, o.out, why)) {
        std::fprintf(stderr, "quorvel-measure: %s\n", why.c_str());
        code = tools::kExitFailure;
      }
    }
    std::fflush(stdout);
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  };

  // Ctrl+C and SIGTERM stop the stimulus at once.
  platform::TerminationSignals terminate([&] {
    if (interrupted || !measurement.Running()) return;
    interrupted = true;
    measurement.Stop();
  });

  std::printf("Measuring with %s\n", measure::Plan(o.settings).describe().c_str());
  std::fflush(stdout);
  if (!measurement.Start(o.settings, static_cast<int>(o.playDevice), static_cast<int>(o.recordDevice))) {
    std::fprintf(stderr, "quorvel-measure: %s\n", measurement.Why().c_str());
    return tools::kExitFailure;
  }
  app.exec();
  tools::SayIfAbandoned("quorvel-measure", audio.System());
  return interrupted ? tools::ExitForSignal(terminate.signal()) : code;
}
