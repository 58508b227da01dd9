// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/Options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "dsp/OctaveBands.h"
#include "tools/CommandLine.h"

namespace analyse {

namespace {

constexpr const char* kTool = "quorvel-analyse";
// dB SPL = dBFS + offset: a measurement microphone's offsets lie near
// 100 to 140 dB; anything beyond this is a mistyped number.
constexpr double kLargestOffset = 300;

bool Seconds(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(out) && out >= 0;
}

}  // namespace

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: quorvel-analyse FILE... [--csv DIR] [--png DIR] [--from S] [--to S] [--channel N|all]\n"
               "                       [--bands 1|3|6|12|24] [--weighting A|C|Z] [--calibration FILE] [--offset DB]\n"
               "       quorvel-analyse --device N --seconds S [--csv DIR] [--png DIR] [--channel N|all]\n"
               "                       [--bands 1|3|6|12|24] [--weighting A|C|Z] [--calibration FILE] [--offset DB]\n"
               "\n"
               "Analyses sound files (WAV, FLAC, Ogg, AIFF, ...; any rate, any number of\n"
               "channels), or live capture from a device, per channel: the spectrum\n"
               "power-averaged over the span (2048-point Hamming frames, 50 %% overlap) with\n"
               "its strongest tone and THD, sample peak, RMS (dBFS: a full-scale sine is 0),\n"
               "DC, crest factor, and EBU R128 loudness (integrated, range, true peak).\n"
               "\n"
               "  --csv DIR        write DIR/summary.csv and DIR/<file>-ch<N>-spectrum.csv;\n"
               "                   without it the summary is printed as a table\n"
               "  --png DIR        write DIR/<file>-ch<N>-spectrogram.png\n"
               "  --from S         start S seconds into each file (default 0)\n"
               "  --to S           end S seconds into each file (default: its end)\n"
               "  --channel N|all  the channel to analyse, from 1 (default all)\n"
               "  --device N       capture from device N (-1: the default input) instead of\n"
               "                   reading files: 16-bit stereo at 44100 Hz\n"
               "  --seconds S      with --device: how long to capture\n"
               "  --bands B        band levels (Leq over the span) in 1/B octaves, B 1, 3, 6,\n"
               "                   12 or 24 (IEC 61260-1 class 1 filters): with --csv in\n"
               "                   DIR/<file>-ch<N>-bands.csv, without it after the table\n"
               "  --weighting W    frequency weighting A, C or Z (IEC 61672-1) of the level\n"
               "                   figures (default A) and of the bands (default Z)\n"
               "  --offset DB      calibration: dB SPL = dBFS + DB, for every level figure\n"
               "                   and band; without it levels are in dBFS\n"
               "  --calibration F  the microphone's correction file (a frequency in Hz and\n"
               "                   its response in dB per line): its response at each band's\n"
               "                   mid-band frequency is taken off the band\n"
               "  --help           this text\n"
               "  --version        the release number\n"
               "\n"
               "Any of --bands, --weighting, --offset and --calibration adds a sound level\n"
               "meter's figures over the span to the summary (with A: laeq_db, lafmax_db,\n"
               "lafmin_db, laf10_db, laf50_db, laf90_db, and lcpeak_db), in dB SPL with\n"
               "--offset, dBFS without.\n"
               "\n"
               "A value that does not exist is written 'none'. Exits with 2 when a file\n"
               "could not be read or analysed (the others still are) or the correction\n"
               "file could not be read (nothing is), 1 when capture fails or an output\n"
               "cannot be written, 64 for a bad command line.\n");
}

bool Parse(int argc, char** argv, Options& o) {
  bool sawSeconds = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    long v = 0;
    double s = 0;
    if (tools::IsHelp(a)) {
      tools::ShowHelp(Usage);
    } else if (tools::IsVersion(a)) {
      tools::ShowVersion(kTool);
    } else if (a == "--csv" || a == "--png") {
      if (!hasValue || argv[i + 1][0] == '\0') return tools::Complain(kTool, a + " needs a directory");
      (a == "--csv" ? o.csvDir : o.pngDir) = argv[++i];
    } else if (a == "--from" || a == "--to") {
      if (!hasValue || !Seconds(argv[++i], s))
        return tools::Complain(kTool, a + " needs a number of seconds, 0 or more");
      if (a == "--from")
        o.from = s;
      else
        o.to = s;
    } else if (a == "--channel") {
      if (hasValue && std::string(argv[i + 1]) == "all") {
        o.channel.reset();
        ++i;
      } else if (hasValue && tools::ParseInt(argv[++i], 1, 1 << 16, v)) {
        o.channel = int(v);
      } else {
        return tools::Complain(kTool, "--channel needs a channel number from 1, or 'all'");
      }
    } else if (a == "--bands") {
      if (!hasValue) return tools::Complain(kTool, "--bands needs a number of bands per octave");
      if (!tools::ParseInt(argv[++i], 1, 24, v) || !dsp::isBandsPerOctave(int(v)))
        return tools::Complain(kTool,
                               std::string("--bands takes 1, 3, 6, 12 or 24 bands per octave, not '") + argv[i] + "'");
      o.bandsPerOctave = int(v);
    } else if (a == "--weighting") {
      if (!hasValue) return tools::Complain(kTool, "--weighting needs A, C or Z");
      const std::string w = argv[++i];
      const char letter = w.size() == 1 ? char(std::toupper(static_cast<unsigned char>(w[0]))) : '\0';
      if (letter != 'A' && letter != 'C' && letter != 'Z')
        return tools::Complain(kTool, "--weighting takes A, C or Z, not '" + w + "'");
      o.weighting = letter == 'A' ? dsp::Weighting::A : letter == 'C' ? dsp::Weighting::C : dsp::Weighting::Z;
    } else if (a == "--calibration") {
      if (!hasValue || argv[i + 1][0] == '\0')
        return tools::Complain(kTool, "--calibration needs a microphone's correction file");
      o.microphoneFile = argv[++i];
    } else if (a == "--offset") {
      if (!hasValue) return tools::Complain(kTool, "--offset needs a number of dB");
      if (!tools::ParseNumber(argv[++i], -kLargestOffset, kLargestOffset, s))
        return tools::Complain(
            kTool, std::string("--offset takes dB from -300 to 300 (dB SPL = dBFS + offset), not '") + argv[i] + "'");
      o.offsetDb = s;
    } else if (a == "--device") {
      if (!hasValue || !tools::ParseInt(argv[++i], -1, 9, v))
        return tools::Complain(kTool, "--device needs a device number from -1 to 9");
      o.device = int(v);
    } else if (a == "--seconds") {
      if (!hasValue || !Seconds(argv[++i], o.seconds) || !(o.seconds > 0) || o.seconds > 86400)
        return tools::Complain(kTool, "--seconds needs more than 0 and at most a day (86400)");
      sawSeconds = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return tools::Complain(kTool, "bad argument '" + a + "'");
    } else {
      o.files.push_back(a);
    }
  }
  if (o.device) {
    if (!o.files.empty()) return tools::Complain(kTool, "--device analyses capture, not files");
    if (!sawSeconds) return tools::Complain(kTool, "--device needs --seconds");
    if (o.from != 0 || o.to) return tools::Complain(kTool, "--from and --to are for files");
    return true;
  }
  if (sawSeconds) return tools::Complain(kTool, "--seconds is for --device");
  if (o.files.empty()) return tools::Complain(kTool, "no file to analyse");
  if (o.to && *o.to <= o.from) return tools::Complain(kTool, "--to must be after --from");
  // Outputs are named after the file: two files of one name would overwrite each other's.
  std::map<std::string, std::string> stems;
  for (const std::string& f : o.files) {
    const auto [at, fresh] = stems.emplace(std::filesystem::path(f).stem().string(), f);
    if (!fresh && (!o.csvDir.empty() || !o.pngDir.empty()))
      return tools::Complain(kTool, "'" + at->second + "' and '" + f + "' would write the same outputs");
  }
  return true;
}

}  // namespace analyse
