// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-analyse: the program's readings of sound files, or of live
// capture, without a display: per channel the averaged spectrum with its
// strongest tone and THD, levels, and loudness, as a table or as CSV files,
// spectrograms as PNG pictures, and when asked a sound level meter's
// figures and band levels, calibrated or in dBFS.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numeric>
#include <unistd.h>

#include "platform/TerminationSignals.h"
#include "tools/CommandLine.h"
#include "tools/analyse/Analysis.h"
#include "tools/analyse/Capture.h"
#include "tools/analyse/Options.h"
#include "tools/analyse/Outputs.h"
#include "tools/analyse/SoundFileSpan.h"
#include "tools/analyse/SpectrogramPicture.h"
#include "tools/analyse/Summary.h"
#include "tools/analyse/WholeFile.h"

namespace {

constexpr int kExitUnreadable = 2;
// A correction file is a few hundred lines; anything this large is not one.
constexpr qint64 kLargestMicrophoneFile = 4 << 20;

// "quorvel-analyse: NAME  37 %" on a terminal, rewritten in place, once the
// work on a file has taken half a second.
class Progress {
 public:
  explicit Progress(std::string name) : name_(std::move(name)), shown_(isatty(STDERR_FILENO) == 1) {}
  ~Progress() {
    if (drawn_) std::fprintf(stderr, "\r\033[K");
  }
  void update(double done) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::milliseconds(500) || now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    drawn_ = true;
    std::fprintf(stderr, "\rquorvel-analyse: %s  %3.0f %%", name_.c_str(), done * 100);
    std::fflush(stderr);
  }

 private:
  std::string name_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), last_{};
};

std::vector<int> Chosen(const analyse::Options& o, int channels) {
  if (o.channel) return {*o.channel - 1};
  std::vector<int> all(static_cast<size_t>(channels));
  std::iota(all.begin(), all.end(), 0);
  return all;
}

int Columns(const analyse::Options& o) { return o.pngDir.empty() ? 0 : analyse::kSpectrogramColumns; }

analyse::Analysis::Setup MakeSetup(const analyse::Options& o, int channels, long rate, uint64_t frames) {
  analyse::Analysis::Setup setup{channels, rate, Chosen(o, channels), frames, Columns(o)};
  setup.meter = o.levels();
  setup.bandsPerOctave = o.bandsPerOctave.value_or(0);
  setup.bandsWeighting = o.bandsWeighting();
  return setup;
}

// The calibration the options give: the offset, and the microphone's
// correction read and parsed. False with the reason in `error`.
bool ReadCalibration(const analyse::Options& o, dsp::Calibration& c, std::string& error) {
  c.offsetDb = o.offsetDb;
  if (o.microphoneFile.empty()) return true;
  QFile file(QString::fromLocal8Bit(o.microphoneFile.c_str()));
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString().toStdString();
    return false;
  }
  if (file.size() > kLargestMicrophoneFile) {
    error = "too large for a correction file";
    return false;
  }
  const QByteArray text = file.readAll();
  c.microphone = dsp::parseMicrophoneCorrection(std::string_view(text.constData(), size_t(text.size())), error);
  c.microphoneName = QFileInfo(file).fileName().toStdString();
  return c.microphone.has_value();
}

// One file: its readings into the summary and its files written. False
// when it could not be read or analysed (said on stderr); `writeFailed` is
// set when an output could not be written.
bool AnalyseFile(const std::string& path, const analyse::Options& o, const dsp::Calibration& calibration,
                 analyse::Summary& summary, bool& writeFailed, const bool& interrupted) {
  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "quorvel-analyse: %s: %s\n", path.c_str(), why.c_str());
    return false;
  };
  std::string error;
  std::unique_ptr<analyse::SoundFileSpan> span = analyse::SoundFileSpan::Open(path, o.from, o.to, error);
  if (!span) return fail(error);
  if (o.channel && *o.channel > span->channels())
    return fail("it has " + std::to_string(span->channels()) + " channel" + (span->channels() == 1 ? "" : "s") +
                ", no channel " + std::to_string(*o.channel));
  std::unique_ptr<analyse::Analysis> analysis =
      analyse::Analysis::create(MakeSetup(o, span->channels(), span->rate(), span->frames()), error);
  if (!analysis) return fail(error);
  {
    Progress progress(path);
    const float* frames = nullptr;
    long long n;
    while ((n = span->Read(frames, error)) > 0) {
      analysis->push(frames, static_cast<size_t>(n));
      progress.update(double(span->framesRead()) / double(span->frames()));
      QCoreApplication::processEvents();  // where Ctrl+C is heard
      if (interrupted) return true;       // left out, as if not begun
    }
    if (n < 0) return fail(error);
  }
  const analyse::Result result = analysis->finish();
  summary.add(path, result);
  const std::string stem = std::filesystem::path(path).stem().string();
  if (!analyse::WriteOutputs({o.csvDir, o.pngDir, path, stem, o.from, calibration}, result)) writeFailed = true;
  return true;
}

// Live capture: false when it failed (said on stderr).
bool AnalyseCapture(const analyse::Options& o, const dsp::Calibration& calibration, analyse::Summary& summary,
                    bool& writeFailed) {
  const std::vector<int> chosen = Chosen(o, analyse::kCaptureChannels);
  if (o.channel && *o.channel > analyse::kCaptureChannels) {
    std::fprintf(stderr, "quorvel-analyse: capture has %d channels, no channel %d\n", analyse::kCaptureChannels,
                 *o.channel);
    return false;
  }
  const auto frames = static_cast<std::uint64_t>(std::llround(o.seconds * analyse::kCaptureRate));
  std::string error;
  std::unique_ptr<analyse::Analysis> analysis =
      analyse::Analysis::create(MakeSetup(o, analyse::kCaptureChannels, analyse::kCaptureRate, frames), error);
  if (!analysis) {
    std::fprintf(stderr, "quorvel-analyse: %s\n", error.c_str());
    return false;
  }
  const std::string source = "device " + std::to_string(*o.device);
  std::fprintf(stderr, "quorvel-analyse: capturing %g s from %s: stereo, 16 bits, %d Hz\n", o.seconds, source.c_str(),
               analyse::kCaptureRate);
  const analyse::CaptureOutcome outcome =
      analyse::Capture(*o.device, o.seconds, [&](const float* f, size_t n) { analysis->push(f, n); });
  if (!outcome.ok) {
    std::fprintf(stderr, "quorvel-analyse: %s\n", outcome.error.c_str());
    return false;
  }
  if (outcome.lost) {
    std::fprintf(stderr, "quorvel-analyse: %lu blocks were lost: the readings are not of continuous sound\n",
                 outcome.lost);
    return false;
  }
  const analyse::Result result = analysis->finish();
  summary.add(source, result);
  if (!analyse::WriteOutputs({o.csvDir, o.pngDir, source, "device" + std::to_string(*o.device), 0, calibration},
                             result))
    writeFailed = true;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  analyse::Options o;
  if (!analyse::Parse(argc, argv, o)) return tools::UsageError(analyse::Usage);

  // Pictures are drawn with Qt's painter, which needs fonts and so a GUI
  // application; the offscreen platform gives one without a display.
  // Qt's own remarks (a runtime directory it would have liked) are not the
  // tool's to pass on: every failure that matters is checked and said here.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "quorvel-analyse: %s\n", qPrintable(text));
  });
  std::unique_ptr<QCoreApplication> app;
  if (!o.pngDir.empty()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }

  // Ctrl+C and SIGTERM end the analysis of the file being read (the files
  // done are still written) or the capture (what came is analysed).
  bool interrupted = false;
  platform::TerminationSignals terminate([&interrupted] {
    interrupted = true;
    QCoreApplication::exit(1);
  });
  // Every level would be wrong without the calibration asked for: nothing
  // is analysed.
  dsp::Calibration calibration;
  if (std::string error; !ReadCalibration(o, calibration, error)) {
    std::fprintf(stderr, "quorvel-analyse: %s: %s\n", o.microphoneFile.c_str(), error.c_str());
    return kExitUnreadable;
  }
  analyse::Summary summary(o.levels() ? std::optional(analyse::LevelColumns{o.figuresWeighting(), calibration})
                                      : std::nullopt);
  bool writeFailed = false;
  int status = 0;
  if (o.device) {
    if (!AnalyseCapture(o, calibration, summary, writeFailed)) status = tools::kExitFailure;
  } else {
    for (size_t i = 0; i < o.files.size() && !interrupted; ++i)
      if (!AnalyseFile(o.files[i], o, calibration, summary, writeFailed, interrupted)) status = kExitUnreadable;
  }

  if (!summary.empty()) {
    if (o.csvDir.empty()) {
      std::fputs(summary.table().c_str(), stdout);
      if (const std::string bands = summary.bandsTable(); !bands.empty()) std::fputs(("\n" + bands).c_str(), stdout);
    } else {
      std::string error;
      if (!analyse::WriteWhole(o.csvDir, "summary.csv", QByteArray::fromStdString(summary.csv()), error)) {
        std::fprintf(stderr, "quorvel-analyse: %s\n", error.c_str());
        writeFailed = true;
      }
    }
  }
  if (terminate.signal()) return tools::ExitForSignal(terminate.signal());
  if (status == 0 && writeFailed) status = tools::kExitFailure;
  return status;
}
