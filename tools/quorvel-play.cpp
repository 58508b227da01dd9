// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-play: plays a sound file through the audio component's player.
//
// The file is checked before any device is touched, so a file that cannot
// be played is told apart (exit 2) from a device that fails (exit 1). The
// player's events arrive on this (the GUI) thread, from its notification
// windows, so they print directly.

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/SoundFile.h"
#include "audio/Texts.h"
#include "platform/AudioSystem.h"
#include "platform/TerminationSignals.h"
#include "tools/CommandLine.h"

namespace {

// A file that cannot be played; the device failing is tools::kExitFailure.
constexpr int kFileError = 2;

struct Options {
  QString path;
  long loops = 0;
  long device = -1;
  bool verbose = false;
  bool list = false;
};

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: quorvel-play FILE [--loops N] [--device N] [--verbose]\n"
               "       quorvel-play --list\n"
               "\n"
               "Plays a sound file (WAV, FLAC, Ogg, AIFF, ...; mono or stereo, up to 65535 Hz)\n"
               "as 16-bit samples at the file's own rate, and prints a line when it has played.\n"
               "\n"
               "  --loops N    play N more times after the first (0..65535; default 0)\n"
               "  --device N   output device number from --list; -1 (default) is the system's\n"
               "               default output\n"
               "  --verbose    print a line per played buffer: its number and the seconds played\n"
               "  --list       list the output devices with their numbers, and exit\n"
               "  --help       this text\n"
               "  --version    the release number\n"
               "\n"
               "Ctrl+C stops playing. Exits with 0 when done, 2 for a file that cannot be played,\n"
               "1 when the device fails, 64 for a bad command line, 128 + the signal's number\n"
               "when stopped by a signal (130 for Ctrl+C).\n");
}

// Says what is wrong with the command line; false for a bad one.
bool Parse(int argc, char** argv, Options& o) {
  auto bad = [](const std::string& why) { return tools::Complain("quorvel-play", why); };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (tools::IsHelp(a)) {
      tools::ShowHelp(Usage);
    } else if (tools::IsVersion(a)) {
      tools::ShowVersion("quorvel-play");
    } else if (a == "--loops" || a == "--device") {
      if (i + 1 >= argc) return bad(a + " needs a number");
      const char* value = argv[++i];
      if (a == "--loops" && !tools::ParseInt(value, 0, 65535, o.loops))
        return bad("--loops takes a whole number from 0 to 65535, not '" + std::string(value) + "'");
      if (a == "--device" && !tools::ParseInt(value, -1, 65535, o.device))
        return bad("--device takes an output device number from --list, or -1 for the default output, not '" +
                   std::string(value) + "'");
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
  if (o.path.isEmpty() && !o.list) return bad("no file given");
  return true;
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

  std::string error;
  std::unique_ptr<audio::TSoundFile> file = audio::TSoundFile::Open(o.path, error);
  if (!file) {
    std::fprintf(stderr, "quorvel-play: %s\n", error.c_str());
    return kFileError;
  }
  const double bytesPerSecond = file->sampleRate() * file->channels() * 2.0;
  const double passes = static_cast<double>(o.loops) + 1;
  const double fileSeconds = static_cast<double>(file->size()) / bytesPerSecond;
  const std::string name = "\"" + o.path.toStdString() + "\"";
  std::printf("Playing %s: %d channel%s, %d Hz, %.2f s (%lld frames), %.0f pass%s\n", name.c_str(), file->channels(),
              file->channels() == 1 ? "" : "s", file->sampleRate(), fileSeconds, static_cast<long long>(file->frames()),
              passes, passes == 1 ? "" : "es");
  std::fflush(stdout);
  file.reset();  // the player opens the file itself

  audio::TAudio audio(nullptr);
  audio::TPlayer& player = *audio.Player;
  bool started = false, interrupted = false;
  unsigned long buffers = 0;
  // The buffer size in the file's format, which the player takes only for
  // the time of playing.
  double bufferBytes = 0;
  // Seconds played by the end of `count` buffers: the last one may be short.
  auto played = [&](unsigned long count) {
    return std::min(static_cast<double>(count) * bufferBytes / bytesPerSecond, fileSeconds * passes);
  };
  audio.OnBufferPlayed = [&](audio::TObject*) {
    ++buffers;
    if (!o.verbose) return;
    std::printf("buffer %5lu  %8.2f s\n", buffers, played(buffers));
    std::fflush(stdout);
  };
  // Also fired when a start fails after the device opened; PlayFile's result
  // tells that case. A playing that a failure ended early (the reason is in
  // ErrorMessage, printed below) is not reported as played.
  audio.OnPlayed = [&](audio::TObject*) {
    if (!started) return;
    if (interrupted)
      std::printf("Stopped %s after %.2f s\n", name.c_str(), played(buffers));
    else if (audio.ErrorMessage.empty())
      std::printf("Played %s: %.2f s in %lu buffers\n", name.c_str(), fileSeconds * passes, buffers);
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
  if (!player.PlayFile(o.path, static_cast<platform::WORD>(o.loops), device)) {
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
