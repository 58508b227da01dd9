// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A sound file in the program, with the real display library: what the frame
// scope copies while the file plays is what quorvel-analyse writes for it;
// files dropped on a scope window open; Start takes the scopes back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <numbers>
#include <sndfile.h>
#include <vector>

#include "app/FilePlayback.h"
#include "app/Main_unt.h"
#include "platform/sim/SimAudioSystem.h"

using namespace app;

namespace {

constexpr int kRate = 48000;

// A tone and its third harmonic, repeating every 1024 samples, so that
// every block the program sends and every frame the tool averages hold the
// same samples; 24 blocks of 16-bit mono.
QString WriteTone(const QString& path) {
  SF_INFO info{};
  info.channels = 1;
  info.samplerate = kRate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr);
  std::vector<short> samples(2048 * 24);
  const double w = 2 * std::numbers::pi * 43 / 1024;
  for (size_t n = 0; n < samples.size(); ++n)
    samples[n] =
        short(std::lround(16384 * std::sin(w * double(n % 1024)) + 60 * std::sin(3 * w * double(n % 1024) + 1)));
  EXPECT_EQ(sf_write_short(f, samples.data(), sf_count_t(samples.size())), sf_count_t(samples.size()));
  sf_close(f);
  return path;
}

QWidget* Window(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == title) return w;
  return nullptr;
}

QStringList Lines(const QString& text) { return text.split('\n', Qt::SkipEmptyParts); }

class SoundFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    TMain_Form::MessageSink = [this](const QString& m) { messages_ << m; };
  }
  void TearDown() override { TMain_Form::MessageSink = nullptr; }

  QTemporaryDir dir_;
  QStringList messages_;
  platform::sim::SimAudioSystem sim_;
};

// First, as it starts capture: once the process has started a child (the
// next test runs quorvel-analyse), ThreadSanitizer reports a race in the
// device's bounded open, which is not what this test is about.
TEST_F(SoundFile, DroppedOnAScopeItOpensAndStartTakesTheScopesBack) {
  const QString file = WriteTone(dir_.filePath("dropped.wav"));
  const QString text = dir_.filePath("notes.wav");
  QFile notes(text);
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  notes.write("not sound");
  notes.close();

  TMain_Form form(&sim_);
  form.show();
  ASSERT_TRUE(ScopesLoaded);
  QWidget* signal = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (signal = Window("Signal")) != nullptr; }, 10000));
  EXPECT_TRUE(signal->acceptDrops()) << "the program lets its scopes take drops";
  auto drop = [&](const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = signal->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(signal, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(signal, &dropped);
  };

  drop(text);
  EXPECT_EQ(form.SoundFile(), nullptr);
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].startsWith("Cannot open the sound file " + text + ": ")) << messages_[0].toStdString();

  drop(file);
  ASSERT_NE(form.SoundFile(), nullptr);
  ASSERT_NE(form.FileWindow(), nullptr);
  EXPECT_EQ(form.FileWindow()->windowTitle(), "Sound file: dropped.wav");
  EXPECT_EQ(form.BtnStart->text(), "Start");

  form.BtnStart->click();
  EXPECT_EQ(form.SoundFile(), nullptr) << "Start closes the file";
  EXPECT_EQ(form.BtnStart->text(), "Stop");
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.FileWindow() == nullptr; }, 5000));
  form.BtnStart->click();
  EXPECT_EQ(form.BtnStart->text(), "Start");
  EXPECT_EQ(messages_.size(), 1);
}

TEST_F(SoundFile, TheFrameScopesCopyWhileTheFilePlaysIsWhatTheToolWrites) {
  const QString file = WriteTone(dir_.filePath("tone.wav"));
  QProcess tool;
  tool.start(QStringLiteral(QUORVEL_ANALYSE), {file, "--csv", dir_.filePath("out")});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  QFile written(dir_.filePath("out/tone-ch1-spectrum.csv"));
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  const QStringList fromTool = Lines(QString::fromUtf8(written.readAll()));

  TMain_Form form(&sim_);
  form.show();
  ASSERT_TRUE(ScopesLoaded) << "the display library did not load: " << messages_.join(' ').toStdString();
  ASSERT_TRUE(form.OpenSoundFile(file));
  QWidget* fft = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (fft = Window("FFT")) != nullptr; }, 10000));
  QTest::keyClick(fft, Qt::Key_H);  // harmonics on, for THD
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.SoundFile() && form.SoundFile()->ended(); }, 20000));
  // The scope takes what is pending when the refresh after the end asks it to redraw.
  QTest::qWait(400);
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(fft, Qt::Key_C, Qt::ControlModifier);
  const QStringList fromScope = Lines(QGuiApplication::clipboard()->text());
  ASSERT_EQ(fromScope.size(), fromTool.size());
  // The readings and the frame's form, digit for digit.
  const qsizetype header = fromTool.indexOf("frequency_hz,level_db,amplitude_percent,peak_hold_db") + 1;
  ASSERT_GT(header, 0);
  for (qsizetype i = 0; i < header; ++i) EXPECT_EQ(fromScope[i], fromTool[i]) << "line " << i;
  EXPECT_TRUE(fromTool[1].startsWith("# peak_hz: 2015.6")) << fromTool[1].toStdString();
  EXPECT_NE(fromTool[3], "# thd_percent: none");
  // Each bin's amplitude too. Its level is the scope's smoothed one, which
  // after 24 equal frames lies within rounding of the tool's.
  for (qsizetype i = header; i < fromTool.size(); ++i) {
    const QStringList tool = fromTool[i].split(','), scope = fromScope[i].split(',');
    ASSERT_EQ(scope.size(), 4);
    EXPECT_EQ(scope[0], tool[0]) << "frequency, line " << i;
    EXPECT_EQ(scope[2], tool[2]) << "amplitude, line " << i;
    EXPECT_NEAR(scope[1].toDouble(), tool[1].toDouble(), 0.0101) << "level, line " << i;
  }
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
}

}  // namespace
