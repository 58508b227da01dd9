// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-play: plays a sound file, or a generated signal (a tone, a sweep,
// noise), through the audio component's player.
//
// A file is checked before any device is touched, so a file that cannot
// be played is told apart (exit 2) from a device that fails (exit 1). A
// generated signal is made as the player reads it (no file, no gap). The
// player's events arrive on this (the GUI) thread, from its notification
// windows, so they print directly.

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "audio/Audio.h"
#include "audio/GeneratedStream.h"
#include "audio/Player.h"
#include "audio/SoundFile.h"
#include "audio/Texts.h"
#include "measure/Noise.h"
#include "measure/Sweep.h"
#include "measure/Tone.h"
#include "platform/AudioSystem.h"
#include "platform/TerminationSignals.h"
#include "tools/CommandLine.h"

namespace {

// A file that cannot be played; the device failing is tools::kExitFailure.
constexpr int kFileError = 2;

enum class Generate { None, Tone, Square, Sweep, Noise };

struct Options {
  QString path;
  long loops = 0;
  long device = -1;
  bool verbose = false;
  bool list = false;
  // A generated signal instead of a file.
  Generate generate = Generate::None;
  std::string generateOption;  // as given: "--tone", ...
  double hz = 0, fromHz = 0, toHz = 0;
  measure::Noise::Colour colour = measure::Noise::Colour::White;
  double level = -20;
  double seconds = 0;  // 0: until Ctrl+C (a sweep: 10 s)
  bool linear = false;
  long rate = 44100;
  long channels = 1;
  bool dither = false;
  std::string generatorOnly;  // the first option that needs a generated signal
};

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: quorvel-play FILE [--loops N] [--device N] [--verbose]\n"
               "       quorvel-play --tone HZ | --square HZ | --sweep FROM TO | --noise white|pink\n"
               "                    [--level DBFS] [--seconds S] [--linear] [--rate HZ] [--channels N]\n"
               "                    [--dither] [--device N] [--verbose]\n"
               "       quorvel-play --list\n"
               "\n"
               "Plays a sound file (WAV, FLAC, Ogg, AIFF, ...; mono or stereo, up to 65535 Hz)\n"
               "as 16-bit samples at the file's own rate, or a signal made as it plays, and\n"
               "prints a line when it has played.\n"
               "\n"
               "  --loops N       play N more times after the first (0..65535; default 0)\n"
               "  --tone HZ       a sine of HZ hertz (0.01 Hz steps)\n"
               "  --square HZ     a square wave, band-limited\n"
               "  --sweep FROM TO a sine sweep from FROM to TO hertz, logarithmic unless --linear\n"
               "  --noise white|pink  noise, flat or falling 3 dB per octave\n"
               "  --level DBFS    the level, RMS against a full-scale sine (AES17), 0.01 dB\n"
               "                  steps, -150 to 0 (default -20)\n"
               "  --seconds S     how long (default: until Ctrl+C; a sweep 10 s)\n"
               "  --linear        a linear sweep instead of a logarithmic one\n"
               "  --rate HZ       sample rate, 8000 to 65535 (default 44100)\n"
               "  --channels N    1 or 2, the same signal on both (default 1)\n"
               "  --dither        add TPDF dither before rounding to 16 bits\n"
               "  --device N      output device number from --list; -1 (default) is the system's\n"
               "                  default output\n"
               "  --verbose       print a line per played buffer: its number and the seconds played\n"
               "  --list          list the output devices with their numbers, and exit\n"
               "  --help          this text\n"
               "  --version       the release number\n"
               "\n"
               "Ctrl+C stops playing. Exits with 0 when done, 2 for a file that cannot be played,\n"
               "1 when the device fails, 64 for a bad command line, 128 + the signal's number\n"
               "when stopped by a signal (130 for Ctrl+C).\n");
}

bool ParseFrequency(const char* text, double& out) {
  // Checked against the rate once every option is read.
  return tools::ParseNumber(text, 0.01, 1e6, out);
}

// Says what is wrong with the command line; false for a bad one.
bool Parse(int argc, char** argv, Options& o) {
  auto bad = [](const std::string& why) { return tools::Complain("quorvel-play", why); };
  auto generator = [&](Generate g, const std::string& option) {
    if (o.generate != Generate::None) return bad(option + " and " + o.generateOption + " cannot be played at once");
    o.generate = g;
    o.generateOption = option;
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (tools::IsHelp(a)) {
      tools::ShowHelp(Usage);
    } else if (tools::IsVersion(a)) {
      tools::ShowVersion("quorvel-play");
    } else if (a == "--loops" || a == "--device") {
      const char* v = value();
      if (v == nullptr) return bad(a + " needs a number");
      if (a == "--loops" && !tools::ParseInt(v, 0, 65535, o.loops))
        return bad("--loops takes a whole number from 0 to 65535, not '" + std::string(v) + "'");
      if (a == "--device" && !tools::ParseInt(v, -1, 65535, o.device))
        return bad("--device takes an output device number from --list, or -1 for the default output, not '" +
                   std::string(v) + "'");
    } else if (a == "--tone" || a == "--square") {
      if (!generator(a == "--tone" ? Generate::Tone : Generate::Square, a)) return false;
      const char* v = value();
      if (v == nullptr || !ParseFrequency(v, o.hz))
        return bad(a + " takes a frequency in hertz, not '" + std::string(v ? v : "") + "'");
    } else if (a == "--sweep") {
      if (!generator(Generate::Sweep, a)) return false;
      const char* from = value();
      const char* to = value();
      if (from == nullptr || to == nullptr || !ParseFrequency(from, o.fromHz) || !ParseFrequency(to, o.toHz))
        return bad("--sweep takes two frequencies in hertz, FROM and TO");
    } else if (a == "--noise") {
      if (!generator(Generate::Noise, a)) return false;
      const char* v = value();
      const std::string colour = v ? v : "";
      if (colour != "white" && colour != "pink") return bad("--noise takes white or pink, not '" + colour + "'");
      o.colour = colour == "pink" ? measure::Noise::Colour::Pink : measure::Noise::Colour::White;
    } else if (a == "--level" || a == "--seconds" || a == "--rate" || a == "--channels") {
      if (o.generatorOnly.empty()) o.generatorOnly = a;
      const char* v = value();
      const std::string text = v ? v : "";
      if (a == "--level" && (v == nullptr || !tools::ParseNumber(v, -150, 0, o.level)))
        return bad("--level takes dBFS from -150 to 0, not '" + text + "'");
      if (a == "--seconds" && (v == nullptr || !tools::ParseNumber(v, 0.001, 1e6, o.seconds)))
        return bad("--seconds takes a duration above 0, not '" + text + "'");
      if (a == "--rate" && (v == nullptr || !tools::ParseInt(v, 8000, 65535, o.rate)))
        return bad("--rate takes a sample rate from 8000 to 65535 Hz, not '" + text + "'");
      if (a == "--channels" && (v == nullptr || !tools::ParseInt(v, 1, 2, o.channels)))
        return bad("--channels takes 1 or 2, not '" + text + "'");
    } else if (a == "--linear" || a == "--dither") {
      if (o.generatorOnly.empty()) o.generatorOnly = a;
      (a == "--linear" ? o.linear : o.dither) = true;
    } else if (a == "--verbose") {
      o.verbose = true;
    } else if (a == "--list") {
      o.list = true;
    } else if (a.starts_with("--")) {
      return bad("unknown option '" + a + "'");
    } else if (!o.path.isEmpty()) {
      return bad("one file at a time: '" + a + "' follows '" + o.path.toStdString() + "'");
    } else {
      o.path = QString::fromLocal8Bit(argv[i]);
    }
  }
  if (o.generate != Generate::None && !o.path.isEmpty())
    return bad("a file and " + o.generateOption + " cannot be played at once");
  if (o.generate == Generate::None && !o.generatorOnly.empty())
    return bad(o.generatorOnly + " is for a generated signal (--tone, --square, --sweep, --noise)");
  if (o.linear && o.generate != Generate::Sweep) return bad("--linear is for --sweep");
  const double nyquist = static_cast<double>(o.rate) / 2;
  for (double hz : {o.hz, o.fromHz, o.toHz})
    if (hz >= nyquist)
      return bad(o.generateOption + " needs frequencies below half the rate (" + std::to_string(o.rate / 2) + " Hz)");
  if (o.generate == Generate::Sweep && o.fromHz == o.toHz) return bad("--sweep needs two different frequencies");
  if (o.generate == Generate::Sweep && !o.linear && o.fromHz > o.toHz)
    return bad("a logarithmic sweep runs upwards: FROM must be below TO");
  if (o.path.isEmpty() && !o.list && o.generate == Generate::None) return bad("no file given");
  return true;
}

std::unique_ptr<measure::Stimulus> MakeStimulus(const Options& o) {
  const auto rate = static_cast<unsigned>(o.rate);
  switch (o.generate) {
    case Generate::Tone:
      return std::make_unique<measure::Tone>(measure::Tone::Shape::Sine, o.hz, o.level, rate, o.seconds);
    case Generate::Square:
      return std::make_unique<measure::Tone>(measure::Tone::Shape::Square, o.hz, o.level, rate, o.seconds);
    case Generate::Sweep:
      return std::make_unique<measure::Sweep>(o.linear ? measure::Sweep::Law::Linear : measure::Sweep::Law::Exponential,
                                              o.fromHz, o.toHz, o.seconds > 0 ? o.seconds : 10, o.level, rate);
    case Generate::Noise:
      return std::make_unique<measure::Noise>(o.colour, o.level, rate, o.seconds);
    case Generate::None:
      break;
  }
  return nullptr;
}

// The output devices with the numbers --device takes.
void List(platform::AudioSystem& system) {
  const platform::UINT count = system.waveOutGetNumDevs();
  std::printf("Output devices: %u, and -1 for the system's default\n", count);
  platform::WAVEOUTCAPSA caps{};
  if (system.waveOutGetDevCapsA(platform::WAVE_MAPPER, &caps, sizeof caps) == 0)
    std::printf("  %2d  %s\n", -1, caps.szPname);
  for (platform::UINT i = 0; i < count; ++i)
    if (system.waveOutGetDevCapsA(i, &caps, sizeof caps) == 0) std::printf("  %2u  %s\n", i, caps.szPname);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  if (!Parse(argc, argv, o)) return tools::UsageError(Usage);
  if (o.list) {
    audio::TAudio audio(nullptr);
    List(audio.System());
    return 0;
  }

  // What is played: its name, its bytes per second and its length in
  // seconds per pass (0: without end).
  std::string name;
  double bytesPerSecond = 0, seconds = 0, passes = static_cast<double>(o.loops) + 1;
  std::unique_ptr<audio::TGeneratedStream> generated;
  if (o.generate != Generate::None) {
    std::unique_ptr<measure::Stimulus> stimulus = MakeStimulus(o);
    name = stimulus->describe();
    bytesPerSecond = static_cast<double>(o.rate * o.channels * 2);
    seconds = static_cast<double>(stimulus->frames()) / static_cast<double>(o.rate);
    generated = std::make_unique<audio::TGeneratedStream>(std::move(stimulus), static_cast<int>(o.channels), o.dither);
    if (generated->endless()) passes = 1;
    std::printf("Playing %s: %ld channel%s, %ld Hz, ", name.c_str(), o.channels, o.channels == 1 ? "" : "s", o.rate);
    if (seconds > 0)
      std::printf("%.2f s%s\n", seconds * passes, o.dither ? ", dithered" : "");
    else
      std::printf("until Ctrl+C%s\n", o.dither ? ", dithered" : "");
  } else {
    std::string error;
    std::unique_ptr<audio::TSoundFile> file = audio::TSoundFile::Open(o.path, error);
    if (!file) {
      std::fprintf(stderr, "quorvel-play: %s\n", error.c_str());
      return kFileError;
    }
    bytesPerSecond = file->sampleRate() * file->channels() * 2.0;
    seconds = static_cast<double>(file->size()) / bytesPerSecond;
    name = "\"" + o.path.toStdString() + "\"";
    std::printf("Playing %s: %d channel%s, %d Hz, %.2f s (%lld frames), %.0f pass%s\n", name.c_str(), file->channels(),
                file->channels() == 1 ? "" : "s", file->sampleRate(), seconds, static_cast<long long>(file->frames()),
                passes, passes == 1 ? "" : "es");
  }
  std::fflush(stdout);

  audio::TAudio audio(nullptr);
  audio::TPlayer& player = *audio.Player;
  bool started = false, interrupted = false;
  unsigned long buffers = 0;
  // The buffer size in the played format, which the player takes only for
  // the time of playing.
  double bufferBytes = 0;
  // Seconds played by the end of `count` buffers: the last one may be short.
  auto played = [&](unsigned long count) {
    const double limit = seconds > 0 ? seconds * passes : std::numeric_limits<double>::infinity();
    return std::min(static_cast<double>(count) * bufferBytes / bytesPerSecond, limit);
  };
  audio.OnBufferPlayed = [&](audio::TObject*) {
    ++buffers;
    if (!o.verbose) return;
    std::printf("buffer %5lu  %8.2f s\n", buffers, played(buffers));
    std::fflush(stdout);
  };
  // Also fired when a start fails after the device opened; the start's
  // result tells that case. A playing that a failure ended early (the
  // reason is in ErrorMessage, printed below) is not reported as played.
  audio.OnPlayed = [&](audio::TObject*) {
    if (!started) return;
    if (interrupted)
      std::printf("Stopped %s after %.2f s\n", name.c_str(), played(buffers));
    else if (audio.ErrorMessage.empty())
      std::printf("Played %s: %.2f s in %lu buffers\n", name.c_str(), seconds * passes, buffers);
    std::fflush(stdout);
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  };

  // Ctrl+C and SIGTERM stop the player, which closes the device and fires
  // OnPlayed as a natural end does.
  platform::TerminationSignals terminate([&] {
    if (interrupted || !player.DeviceOpen) return;
    interrupted = true;
    player.Stop();
    if (player.DeviceOpen) app.exit(tools::kExitFailure);  // the stop failed: ErrorMessage says why
  });

  const platform::UINT device = o.device < 0 ? platform::WAVE_MAPPER : static_cast<platform::UINT>(o.device);
  bool ok;
  if (generated) {
    player.SetChannels(o.channels == 2 ? audio::TChannels::Stereo : audio::TChannels::Mono);
    player.SetSampleRate(static_cast<platform::WORD>(o.rate));
    player.SetBitsPerSample(audio::TBPS::_16);
    // A signal without end plays pass after pass, each going on where the
    // last stopped.
    const auto loops = static_cast<platform::WORD>(generated->endless() ? 65535 : o.loops);
    ok = player.Play(std::move(generated), 0, loops, device);
  } else {
    ok = player.PlayFile(o.path, static_cast<platform::WORD>(o.loops), device);
  }
  if (!ok) {
    std::fprintf(stderr, "quorvel-play: %s\n", audio::ForUser(audio.ErrorMessage).c_str());
    return tools::kExitFailure;
  }
  started = true;
  bufferBytes = player.BufferBytes;
  audio.ErrorMessage.clear();
  const int code = app.exec();
  tools::SayIfAbandoned("quorvel-play", audio.System());
  // A device that failed while playing, or a stream that could not be read
  // on, ends the playing early and leaves the reason.
  if (code != 0 || !audio.ErrorMessage.empty()) {
    std::fprintf(stderr, "quorvel-play: %s\n", audio::ForUser(audio.ErrorMessage).c_str());
    return tools::kExitFailure;
  }
  // Stopped by a signal: the shell's convention, so that a script tells it
  // from a finished run.
  return interrupted ? tools::ExitForSignal(terminate.signal()) : 0;
}
