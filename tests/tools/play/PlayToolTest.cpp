// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-play through the private sound server: a short file plays to its
// end, Ctrl+C stops it, a lost device is not taken for the end, a device
// that does not open fails, and the devices are listed with their numbers.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <utility>
#include <sndfile.h>
#include <vector>

#include "tests/support/SoundServer.h"
#include "tests/support/ToolProcess.h"

namespace {

using tool_test::Finish;
using tool_test::Outcome;
using tool_test::ReadUntil;

Outcome Play(const QStringList& args) { return tool_test::Run(QStringLiteral(QUORVEL_PLAY), args); }

class PlayTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured())
      GTEST_SKIP() << "no private sound server (run scripts/sound-server start)";
    ASSERT_TRUE(dir_.isValid());
  }

  // A 440 Hz tone at half scale on every channel, 16-bit WAV.
  QString Tone(const char* name, int channels, int rate, double seconds) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
    if (f == nullptr) return path;
    const auto frames = static_cast<sf_count_t>(seconds * rate);
    std::vector<short> samples;
    for (sf_count_t i = 0; i < frames; ++i)
      samples.insert(samples.end(), static_cast<std::size_t>(channels),
                     static_cast<short>(16384 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / rate)));
    EXPECT_EQ(sf_writef_short(f, samples.data(), frames), frames);
    sf_close(f);
    return path;
  }

  QTemporaryDir dir_;
};

TEST_F(PlayTool, PlaysAHalfSecondFileToItsEnd) {
  const QString path = Tone("half.wav", 2, 44100, 0.5);
  const Outcome r = Play({path, QStringLiteral("--verbose")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  // 22050 stereo frames in buffers of 8192 frames: three, the last short.
  const QStringList expected = {
      QStringLiteral("Playing \"%1\": 2 channels, 44100 Hz, 0.50 s (22050 frames), 1 pass").arg(path),
      QStringLiteral("buffer     1      0.19 s"),
      QStringLiteral("buffer     2      0.37 s"),
      QStringLiteral("buffer     3      0.50 s"),
      QStringLiteral("Played \"%1\": 0.50 s in 3 buffers").arg(path),
  };
  EXPECT_EQ(r.out, expected) << r.out.join('\n').toStdString();
}

TEST_F(PlayTool, LoopsPlayTheFileAgain) {
  const QString path = Tone("loops.wav", 1, 8000, 0.25);
  const Outcome r = Play({path, QStringLiteral("--loops"), QStringLiteral("2")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  ASSERT_FALSE(r.out.isEmpty());
  EXPECT_TRUE(r.out.first().endsWith(QStringLiteral("3 passes"))) << r.out.first().toStdString();
  // 2000 frames a pass, one buffer each.
  EXPECT_EQ(r.out.last(), QStringLiteral("Played \"%1\": 0.75 s in 3 buffers").arg(path));
}

// A device number past the list: the device fails, exit 1. (Bad command
// lines and files it cannot play are CommandLineTest.cpp's.)
TEST_F(PlayTool, ADeviceThatDoesNotOpenEndsWithExit1AndTheReason) {
  const Outcome r = Play({Tone("usage.wav", 1, 8000, 0.1), QStringLiteral("--device"), QStringLiteral("999")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.startsWith(QStringLiteral("quorvel-play: Could not open the output device")))
      << r.err.toStdString();
}

// Generated signals play for their seconds through the player's buffers
// (44100 Hz, 8192-frame buffers), with what was played named.
TEST_F(PlayTool, GeneratedSignalsPlayForTheirSeconds) {
  const std::pair<QStringList, QString> cases[] = {
      {{QStringLiteral("--tone"), QStringLiteral("997.5"), QStringLiteral("--level"), QStringLiteral("-12.25"),
        QStringLiteral("--seconds"), QStringLiteral("0.4")},
       QStringLiteral("Played 997.50 Hz sine at -12.25 dBFS: 0.40 s in 3 buffers")},
      {{QStringLiteral("--noise"), QStringLiteral("pink"), QStringLiteral("--seconds"), QStringLiteral("0.2"),
        QStringLiteral("--channels"), QStringLiteral("2"), QStringLiteral("--dither")},
       QStringLiteral("Played pink noise at -20.00 dBFS: 0.20 s in 2 buffers")},
      {{QStringLiteral("--sweep"), QStringLiteral("100"), QStringLiteral("200"), QStringLiteral("--linear"),
        QStringLiteral("--seconds"), QStringLiteral("0.3")},
       QStringLiteral("Played linear sweep 100.00 Hz to 200.00 Hz in 0.30 s at -20.00 dBFS: 0.30 s in 2 buffers")},
  };
  for (const auto& [args, last] : cases) {
    const Outcome r = Play(args);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_EQ(r.out.size(), 2) << r.out.join('\n').toStdString();
    EXPECT_EQ(r.out.last(), last);
  }
}

// --list names the output devices with the numbers --device takes.
TEST_F(PlayTool, ListedDeviceNumbersAreTheOnesDeviceTakes) {
  const Outcome list = Play({QStringLiteral("--list")});
  ASSERT_EQ(list.code, 0) << list.err.toStdString();
  ASSERT_GE(list.out.size(), 2) << list.out.join('\n').toStdString();
  const QRegularExpressionMatch head =
      QRegularExpression(QStringLiteral("^Output devices: (\\d+), and -1 for the system's default$"))
          .match(list.out[0]);
  ASSERT_TRUE(head.hasMatch()) << list.out[0].toStdString();
  const int count = head.captured(1).toInt();
  ASSERT_EQ(list.out.size(), count + 2) << list.out.join('\n').toStdString();
  EXPECT_TRUE(list.out[1].startsWith(QStringLiteral("  -1  "))) << list.out[1].toStdString();
  const QString path = Tone("listed.wav", 1, 8000, 0.1);
  for (int i = 0; i < count; ++i) {
    const QString number = QString::number(i);
    EXPECT_TRUE(list.out[i + 2].startsWith(QStringLiteral("  %1  ").arg(number, 2))) << list.out[i + 2].toStdString();
  }
  // The sound server's own device (the last one listed) plays.
  const Outcome r = Play({path, QStringLiteral("--device"), QString::number(count - 1)});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.last().startsWith(QStringLiteral("Played "))) << r.out.join('\n').toStdString();
}

TEST_F(PlayTool, CtrlCStopsPlayingAndExitsCleanly) {
  const QString path = Tone("long.wav", 1, 22050, 30);
  QProcess p;
  p.start(QStringLiteral(QUORVEL_PLAY), {path, QStringLiteral("--verbose")});
  ASSERT_TRUE(p.waitForStarted());
  // Once the first buffer has played, the device is open and running.
  QByteArray out;
  ASSERT_TRUE(ReadUntil(p, out, "buffer     1")) << out.toStdString();
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  const Outcome r = Finish(p, out);
  // 128 + SIGINT, as a shell reports a program that Ctrl+C ended.
  EXPECT_EQ(r.code, 130) << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  ASSERT_FALSE(r.out.isEmpty());
  EXPECT_TRUE(r.out.last().startsWith(QStringLiteral("Stopped \"%1\" after ").arg(path))) << r.out.last().toStdString();
}

// The sound server goes away while playing: the reason, exit 1, and no
// claim that the whole file was played. The server is one of the test's
// own, so that the suite's keeps running.
TEST_F(PlayTool, ADeviceLostWhilePlayingIsNotReportedAsPlayed) {
  quorvel_test::PrivateSoundServer server(dir_.filePath(QStringLiteral("server")).toStdString(), false);
  ASSERT_TRUE(server.started());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const auto& [name, value] : server.environment())
    env.insert(QString::fromStdString(name), QString::fromStdString(value));
  const QString path = Tone("lost.wav", 1, 22050, 30);
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(QUORVEL_PLAY), {path, QStringLiteral("--verbose")});
  ASSERT_TRUE(p.waitForStarted());
  QByteArray out;
  const bool playing = ReadUntil(p, out, "buffer     1");
  server.stop();
  ASSERT_TRUE(playing) << out.toStdString();
  const Outcome r = Finish(p, out);
  EXPECT_EQ(r.code, 1);
  // The device's failure in the system's words, with ALSA's reason.
  EXPECT_TRUE(
      r.err.startsWith(QStringLiteral("quorvel-play:  The device is not available; it may have been removed. "
                                      "(snd_pcm_")))
      << r.err.toStdString();
  for (const QString& line : r.out) EXPECT_FALSE(line.startsWith(QStringLiteral("Played "))) << line.toStdString();
}

}  // namespace
