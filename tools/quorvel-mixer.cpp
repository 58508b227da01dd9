// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-mixer: opens a mixer device through the audio component, prints
// what it read as a table, and with --watch a line for every control change
// until Ctrl+C.

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/Audio.h"
#include "audio/MixerSettings.h"
#include "platform/AudioSystem.h"
#include "platform/ResultCodes.h"
#include "platform/TerminationSignals.h"
#include "tools/CommandLine.h"

namespace {

struct Options {
  int device = 0;
  bool watch = false;
  bool list = false;
};

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: quorvel-mixer [--device N] [--watch] | --list\n"
               "\n"
               "Lists the mixer devices, opens mixer N (default 0) and prints its lines:\n"
               "destination, source, name, volume left and right (0-65535), muted, peak-meter\n"
               "channels, line flags and whether the line is on the speakers' path.\n"
               "Mixer 0 is the sound server's (the volume of the desktop's sound settings)\n"
               "when one runs; the sound cards follow.\n"
               "\n"
               "  --list      only list the mixer devices, with their numbers and names\n"
               "  --device N  mixer device number from the list\n"
               "  --watch     then print every control change, until Ctrl+C: first as\n"
               "              reported raw (\"raw\", the mixer handle's and the control's\n"
               "              low 16 bits), then, for a volume or mute of the table, as\n"
               "              its line (\"line\", destination, source and name), with\n"
               "              its volume and mute as they are now\n"
               "  --help      this text\n"
               "  --version   the release number\n"
               "\n"
               "Exits with 1 when the mixer cannot be opened or read, 64 for a bad command\n"
               "line, 128 + the signal's number when --watch is ended by a signal (130 for\n"
               "Ctrl+C).\n");
}

// Says what is wrong with the command line; false for a bad one.
bool Parse(int argc, char** argv, Options& o) {
  auto bad = [](const std::string& why) { return tools::Complain("quorvel-mixer", why); };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (tools::IsHelp(a)) {
      tools::ShowHelp(Usage);
    } else if (tools::IsVersion(a)) {
      tools::ShowVersion("quorvel-mixer");
    } else if (a == "--device") {
      if (i + 1 >= argc) return bad("--device needs a number");
      const char* value = argv[++i];
      long v = 0;
      if (!tools::ParseInt(value, 0, 255, v))
        return bad("--device takes a mixer device number from the list (0 to 255), not '" + std::string(value) + "'");
      o.device = static_cast<int>(v);
    } else if (a == "--watch") {
      o.watch = true;
    } else if (a == "--list") {
      o.list = true;
    } else {
      return bad("unknown argument '" + a + "'");
    }
  }
  return true;
}

// Why mixer `device` cannot be opened, in the system's words.
std::string OpenFailure(platform::AudioSystem& system, int device) {
  if (system.mixerGetNumDevs() == 0) return "there is no mixer device";
  platform::MIXERCAPSA caps{};
  const platform::MMRESULT rc = system.mixerGetDevCapsA(static_cast<platform::UINT>(device), &caps, sizeof caps);
  if (rc == platform::MMSYSERR_NOERROR) return "it refused to open";
  char text[256] = {};
  system.waveOutGetErrorTextA(rc, text, sizeof text);
  return text[0] != '\0' ? text : "error " + std::to_string(rc);
}

// The component reports a control change raw first (the mixer handle's and
// the control's low 16 bits), then, when the control is a volume or mute of
// the table, once more as its line, before anything else is reported. Which
// of the two a report is follows from the table: a raw pair is never taken
// for a line, whatever its numbers.
class ChangePrinter {
 public:
  ChangePrinter(platform::AudioSystem& system, const audio::TMixerSettings& mixer) : system_(system), mixer_(mixer) {}

  void operator()(platform::WORD first, platform::WORD second) {
    const audio::TMixDetails* line = expected_;
    expected_ = nullptr;
    if (line != nullptr && first == line->Destination && second == line->Source) {
      std::printf("line  %5u %5u  %s%s\n", first, second, line->LineName.c_str(), ValuesNow(*line).c_str());
    } else {
      std::printf("raw   %5u %5u\n", first, second);
      expected_ = LineOf(second);
    }
    std::fflush(stdout);
  }

 private:
  // The record the component matches for a control, as it does: the first
  // whose volume or else mute control it is.
  const audio::TMixDetails* LineOf(platform::WORD control) const {
    for (const audio::TMixDetails* r = mixer_.Lines; r != nullptr; r = r->Next)
      if ((r->VolumeID & 0xFFFF) == control || (r->MuteID & 0xFFFF) == control) return r;
    return nullptr;
  }

  // "  volume 26214 26214  muted no": what the line's controls hold now
  // (the component keeps the values it read when it listed the lines).
  std::string ValuesNow(const audio::TMixDetails& line) const {
    std::string text;
    platform::DWORD values[2] = {};
    auto read = [&](platform::DWORD control, platform::DWORD channels) {
      platform::MIXERCONTROLDETAILS details{};
      details.cbStruct = sizeof details;
      details.dwControlID = control;
      details.cChannels = channels;
      details.cbDetails = sizeof(platform::MIXERCONTROLDETAILS_UNSIGNED);
      details.paDetails = values;
      return system_.mixerGetControlDetailsA(mixer_.MixerHandle, &details, platform::MIXER_GETCONTROLDETAILSF_VALUE) ==
             platform::MMSYSERR_NOERROR;
    };
    if (line.VolumeID != audio::NoneID) {
      if (read(line.VolumeID, line.MonoVolume ? 1 : 2))
        text += "  volume " + std::to_string(values[0] & 0xFFFF) +
                (line.MonoVolume ? "" : " " + std::to_string(values[1] & 0xFFFF));
      else
        text += "  volume unreadable";
    }
    if (line.MuteID != audio::NoneID)
      text += read(line.MuteID, 1) ? (values[0] != 0 ? "  muted yes" : "  muted no") : "  mute unreadable";
    return text;
  }

  platform::AudioSystem& system_;
  const audio::TMixerSettings& mixer_;
  const audio::TMixDetails* expected_ = nullptr;  // the line the next report names
};

std::string Id(platform::DWORD id) { return id == audio::NoneID ? "-" : std::to_string(id); }

void PrintTable(const audio::TMixerSettings& mixer) {
  std::printf("%4s %4s  %-24s %6s %6s %5s %5s %5s %7s  %s\n", "dest", "src", "name", "vol L", "vol R", "muted", "meter",
              "flags", "speaker", "controls (volume/mute/meter)");
  for (const audio::TMixDetails* r = mixer.Lines; r != nullptr; r = r->Next) {
    const bool device = r->Destination == 65535 && r->Source == 65535;
    if (device) {
      std::printf("%4s %4s  %-24s\n", "dev", "-", r->LineName.c_str());
      continue;
    }
    const std::string volume = r->VolumeID == audio::NoneID ? "-" : std::to_string(r->VolumeLeft);
    const std::string right = r->VolumeID == audio::NoneID || r->MonoVolume ? "-" : std::to_string(r->VolumeRight);
    std::printf("%4u %4u  %-24s %6s %6s %5s %5u %5u %7s  %s/%s/%s\n", r->Destination, r->Source, r->LineName.c_str(),
                volume.c_str(), right.c_str(), r->MuteID == audio::NoneID ? "-" : (r->Muted ? "yes" : "no"),
                r->MeterChannels, r->LineFlags, r->SpeakerPath ? "yes" : "no", Id(r->VolumeID).c_str(),
                Id(r->MuteID).c_str(), Id(r->MeterID).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  if (!Parse(argc, argv, o)) return tools::UsageError(Usage);

  audio::TAudio audio(nullptr);
  platform::AudioSystem& system = audio.System();
  const unsigned count = system.mixerGetNumDevs();
  std::printf("Mixer devices: %u\n", count);
  for (unsigned i = 0; i < count; ++i) {
    platform::MIXERCAPSA caps{};
    if (system.mixerGetDevCapsA(i, &caps, sizeof caps) == 0)
      std::printf("  %2u  %s (%u destinations)\n", i, caps.szPname, caps.cDestinations);
  }
  if (o.list) return 0;
  // The component has read mixer 0 when it was made; MixerReady would not
  // tell whether this read of the chosen one succeeded, so its result is
  // taken directly.
  audio::TMixerSettings& mixer = *audio.Mixer;
  const bool read = mixer.EnumerateMixer(o.device);
  audio.MixerDeviceID = o.device;
  if (read) mixer.MixerReady = true;
  if (mixer.Lines != nullptr) {
    std::printf("\nMixer %d:\n", o.device);
    PrintTable(mixer);
  }
  if (!read) {
    if (mixer.Lines == nullptr)
      std::fprintf(stderr, "quorvel-mixer: mixer device %d could not be opened: %s\n", o.device,
                   OpenFailure(system, o.device).c_str());
    else
      std::fprintf(stderr, "quorvel-mixer: mixer device %d could not be read to the end\n", o.device);
    return tools::kExitFailure;
  }
  std::fflush(stdout);
  if (!o.watch) return 0;

  std::printf("\nWatching for changes (Ctrl+C ends)...\n");
  std::fflush(stdout);
  ChangePrinter print(system, mixer);
  audio.OnMixerChange = [&](audio::TObject*, platform::WORD first, platform::WORD second) { print(first, second); };
  platform::TerminationSignals terminate([&app] { app.quit(); });
  const int code = app.exec();
  mixer.ReleaseLines();  // closes the mixer now, to tell whether it let go
  tools::SayIfAbandoned("quorvel-mixer", system);
  return terminate.signal() != 0 ? tools::ExitForSignal(terminate.signal()) : code;
}
