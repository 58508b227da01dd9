// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-measure through the private sound server, whose null sink is
// looped back through its monitor: the loop reads flat, the files come out
// whole with their lines and columns, sweeps repeated in one run agree,
// bad options say why, and Ctrl+C stops the stimulus at once.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <sndfile.h>

#include "tests/support/ToolProcess.h"

namespace {

using tool_test::Finish;
using tool_test::Outcome;
using tool_test::ReadUntil;

Outcome Measure(const QStringList& args) { return tool_test::Run(QStringLiteral(QUORVEL_MEASURE), args); }

class MeasureTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("PULSE_SERVER") == nullptr)
      GTEST_SKIP() << "no private sound server (run scripts/sound-server start)";
    ASSERT_TRUE(dir_.isValid());
  }
  QTemporaryDir dir_;
};

TEST_F(MeasureTool, TheServersLoopReadsFlatAndTheFilesAreWhole) {
  const Outcome r = Measure({QStringLiteral("--seconds"), QStringLiteral("3"), QStringLiteral("--out"), dir_.path()});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  ASSERT_EQ(r.out.size(), 2) << r.out.join('\n').toStdString();
  EXPECT_TRUE(r.out[0].startsWith(QStringLiteral("Measuring with logarithmic sweep"))) << r.out[0].toStdString();

  QFile response(dir_.filePath(QStringLiteral("response.csv")));
  ASSERT_TRUE(response.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(response.readAll()).split('\n', Qt::SkipEmptyParts);
  const char* heads[] = {"# delay_samples: ", "# delay_ms: ",   "# snr_db: ", "# drift_ppm: ",
                         "# stimulus: ",      "# level_dbfs: ", "# rate_hz: "};
  ASSERT_GT(lines.size(), 8);
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(lines[i].startsWith(QLatin1String(heads[i]))) << lines[i].toStdString();
  EXPECT_EQ(lines[6], QStringLiteral("# rate_hz: 44100"));
  EXPECT_EQ(lines[7], QStringLiteral("frequency_hz,magnitude_db,phase_deg,group_delay_ms,coherence"));
  // 48 points an octave at least, 20 Hz to 20 kHz, flat within 0.05 dB.
  EXPECT_GE(lines.size() - 8, 48 * std::log2(1000.0));
  for (int i = 8; i < lines.size(); ++i) {
    const QStringList f = lines[i].split(',');
    ASSERT_EQ(f.size(), 5) << lines[i].toStdString();
    EXPECT_NEAR(f[1].toDouble(), 0, 0.05) << lines[i].toStdString();
    EXPECT_EQ(f[4], QStringLiteral("none"));
  }
  EXPECT_EQ(lines[8].section(',', 0, 0).toDouble(), 20.0);
  EXPECT_EQ(lines.last().section(',', 0, 0).toDouble(), 20000.0);

  QFile distortion(dir_.filePath(QStringLiteral("distortion.csv")));
  ASSERT_TRUE(distortion.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(distortion.readLine()).trimmed(),
            QStringLiteral("frequency_hz,h2_db,h3_db,h4_db,h5_db,thd_percent"));

  SF_INFO info{};
  SNDFILE* wav = sf_open(dir_.filePath(QStringLiteral("impulse.wav")).toLocal8Bit().constData(), SFM_READ, &info);
  ASSERT_NE(wav, nullptr);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_GT(info.frames, 0);
  sf_close(wav);
  // Nothing else is left behind (no half-written file).
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 3);
}

// Sweeps repeated while both devices stay open find the same delay: the
// drift read between them (their arrivals' slope) is nothing, to a
// thousandth of a sample over the time between them. (From one run to the
// next the origin moves with the sound server's account of its buffering,
// by a few samples on an idle machine and by milliseconds on a busy one.)
TEST_F(MeasureTool, SweepsRepeatedInOneRunFindTheSameDelay) {
  const Outcome r = Measure({QStringLiteral("--seconds"), QStringLiteral("2"), QStringLiteral("--averages"),
                             QStringLiteral("3"), QStringLiteral("--out"), dir_.path()});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  QFile response(dir_.filePath(QStringLiteral("response.csv")));
  ASSERT_TRUE(response.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(response.readAll()).split('\n');
  ASSERT_TRUE(lines[3].startsWith(QStringLiteral("# drift_ppm: "))) << lines[3].toStdString();
  // 3 s between sweeps at 44.1 kHz: 0.01 ppm is 0.0013 samples.
  EXPECT_NEAR(lines[3].section(' ', 2).toDouble(), 0, 0.01) << lines[3].toStdString();
}

TEST_F(MeasureTool, BadOptionsSayWhyWithExit64) {
  const std::pair<QStringList, QString> cases[] = {
      {{QStringLiteral("--stimulus"), QStringLiteral("chirp")},
       QStringLiteral("--stimulus takes sweep or noise, not 'chirp'")},
      {{QStringLiteral("--level"), QStringLiteral("3")}, QStringLiteral("--level takes dBFS from -60 to 0, not '3'")},
      {{QStringLiteral("--from"), QStringLiteral("5000"), QStringLiteral("--to"), QStringLiteral("8000")},
       QStringLiteral("the band needs an octave at least: --from below half of --to")},
      {{QStringLiteral("--out"), QStringLiteral("/nonexistent/dir")},
       QStringLiteral("--out: '/nonexistent/dir' is not a directory this user can write into")},
      {{QStringLiteral("--stimulus"), QStringLiteral("noise"), QStringLiteral("--averages"), QStringLiteral("1")},
       QStringLiteral("noise needs at least 2 periods (--averages): coherence and drift are read between them")},
  };
  for (const auto& [args, why] : cases) {
    const Outcome r = Measure(args);
    EXPECT_EQ(r.code, 64) << args.join(' ').toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("quorvel-measure: ") + why + '\n')) << r.err.toStdString();
  }
  const Outcome r = Measure({QStringLiteral("--play-device"), QStringLiteral("999")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.startsWith(QStringLiteral("quorvel-measure: the output device failed: "))) << r.err.toStdString();
}

TEST_F(MeasureTool, CtrlCStopsTheStimulusAtOnceAndWritesNothing) {
  QProcess p;
  p.start(QStringLiteral(QUORVEL_MEASURE),
          {QStringLiteral("--seconds"), QStringLiteral("30"), QStringLiteral("--out"), dir_.path()});
  ASSERT_TRUE(p.waitForStarted());
  QByteArray out;
  ASSERT_TRUE(ReadUntil(p, out, "Measuring with")) << out.toStdString();
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  const Outcome r = Finish(p, out);
  EXPECT_EQ(r.code, 130) << r.err.toStdString();
  EXPECT_EQ(r.out.last(), QStringLiteral("Stopped"));
  EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
