// quorvel-mixer: opens a mixer device through the audio component, prints
// what it read as a table, and with --watch a line for every control change
// until Ctrl+C.

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/Audio.h"
#include "audio/MixerSettings.h"
#include "platform/AudioSystem.h"
#include "platform/TerminationSignals.h"

namespace {

constexpr int kUsageError = 64;

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
               "  --watch     then print a line for every control change, until Ctrl+C;\n"
               "              each change is reported raw (handle, control) and, for a\n"
               "              volume or mute of the list, as its line\n"
               "  --help      this text\n"
               "\n"
               "Exits with 1 when the mixer cannot be opened or read.\n");
}

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      std::exit(0);
    } else if (a == "--device" && i + 1 < argc) {
      char* end = nullptr;
      const long v = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || end == argv[i] || v < 0 || v > 255) return false;
      o.device = static_cast<int>(v);
    } else if (a == "--watch") {
      o.watch = true;
    } else if (a == "--list") {
      o.list = true;
    } else {
      std::fprintf(stderr, "quorvel-mixer: bad argument '%s'\n", a.c_str());
      return false;
    }
  }
  return true;
}

std::string Id(platform::DWORD id) { return id == audio::NoneID ? "-" : std::to_string(id); }

void PrintTable(const audio::TMixerSettings& mixer) {
  std::printf("%4s %4s  %-24s %6s %6s %5s %5s %5s %7s  %s\n", "dest", "src", "name", "vol L", "vol R", "muted",
              "meter", "flags", "speaker", "controls (volume/mute/meter)");
  for (const audio::TMixDetails* r = mixer.Lines; r != nullptr; r = r->Next) {
    const bool device = r->Destination == 65535 && r->Source == 65535;
    if (device) {
      std::printf("%4s %4s  %-24s\n", "dev", "-", r->LineName.c_str());
      continue;
    }
    const std::string volume = r->VolumeID == audio::NoneID ? "-" : std::to_string(r->VolumeLeft);
    const std::string right =
        r->VolumeID == audio::NoneID || r->MonoVolume ? "-" : std::to_string(r->VolumeRight);
    std::printf("%4u %4u  %-24s %6s %6s %5s %5u %5u %7s  %s/%s/%s\n", r->Destination, r->Source,
                r->LineName.c_str(), volume.c_str(), right.c_str(),
                r->MuteID == audio::NoneID ? "-" : (r->Muted ? "yes" : "no"), r->MeterChannels, r->LineFlags,
                r->SpeakerPath ? "yes" : "no", Id(r->VolumeID).c_str(), Id(r->MuteID).c_str(),
                Id(r->MeterID).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  if (!Parse(argc, argv, o)) {
    Usage(stderr);
    return kUsageError;
  }

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
    std::fprintf(stderr, "quorvel-mixer: mixer device %d %s\n", o.device,
                 mixer.Lines == nullptr ? "could not be opened" : "could not be read to the end");
    return 1;
  }
  std::fflush(stdout);
  if (!o.watch) return 0;

  std::printf("\nWatching for changes (Ctrl+C ends)...\n");
  std::fflush(stdout);
  // Each change is reported raw first (the handle's and the control's low
  // 16 bits), then, for a volume or mute of the list, as its line.
  audio.OnMixerChange = [&](audio::TObject*, platform::WORD destination, platform::WORD source) {
    std::string name;
    for (const audio::TMixDetails* r = mixer.Lines; r != nullptr; r = r->Next)
      if (r->Destination == destination && r->Source == source) name = r->LineName;
    std::printf("OnMixerChange  %5u %5u  %s\n", destination, source, name.c_str());
    std::fflush(stdout);
  };
  platform::TerminationSignals terminate([&app] { app.quit(); });
  return app.exec();
}
