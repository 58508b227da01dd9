// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Generator and Measure windows on the simulated device: the strip's
// menu opens them; the generator plays what it is set to; the Measure
// window measures the loopback's path, shows it, reads a plot where it is
// clicked and exports the files; and a picture of it for the README, taken
// on the X display when there is one.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/GeneratorWindow.h"
#include "app/Main_unt.h"
#include "app/MeasureWindow.h"
#include "dsp/Biquad.h"
#include "measure/Tone.h"
#include "platform/NotifyWindow.h"
#include "platform/sim/SimAudioSystem.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"

using namespace app;
using platform::sim::Pacing;
using platform::sim::SimAudioSystem;

namespace {

TEST(Windows, TheStripsMenuOpensTheGeneratorAndTheMeasureWindows) {
  TMain_Form::MessageSink = [](const QString&) {};
  SimAudioSystem sim;
  TMain_Form form(&sim);
  auto entry = [&](const QString& text) -> QAction* {
    for (QAction* a : form.Menu->actions())
      if (a->text() == text) return a;
    return nullptr;
  };
  QAction* generator = entry(QStringLiteral("Generator…"));
  QAction* measure = entry(QStringLiteral("Measure…"));
  ASSERT_TRUE(generator && measure);
  generator->trigger();
  measure->trigger();
  ASSERT_TRUE(form.Generator && form.Measure);
  EXPECT_TRUE(form.Generator->isVisible());
  EXPECT_TRUE(form.Measure->isVisible());
  form.close();
  EXPECT_FALSE(form.Measure->isVisible());
  TMain_Form::MessageSink = nullptr;
}

TEST(Windows, TheGeneratorPlaysWhatItIsSetTo) {
  SimAudioSystem sim;
  sim.setPacing(Pacing::Unpaced);
  GeneratorWindow g(&sim);
  g.Waveform->setCurrentIndex(GeneratorWindow::Sine);
  g.Frequency->setValue(1234.56);
  g.Level->setValue(-6.02);
  g.Seconds->setValue(0.5);
  g.PlayClick();
  EXPECT_EQ(g.BtnPlay->text(), QStringLiteral("Stop"));
  ASSERT_TRUE(quorvel_test::PumpUntil([&] { return !g.Playing(); }));
  EXPECT_EQ(g.Status->text(), QStringLiteral("Played."));
  // The samples the device played are the tone's.
  measure::Tone tone(measure::Tone::Shape::Sine, 1234.56, -6.02, 44100, 0.5);
  std::vector<float> x(22050);
  tone.render(x.data(), x.size());
  const std::vector<platform::BYTE> played = sim.playedBytes();
  ASSERT_EQ(played.size(), 2 * x.size());
  for (std::size_t i = 0; i < x.size(); i += 997) {
    std::int16_t v;
    std::memcpy(&v, &played[2 * i], 2);
    EXPECT_NEAR(v / 32768.0, x[i], 1.0 / 32768) << i;
  }
  // Without an end it plays until stopped.
  g.Seconds->setValue(0);
  g.PlayClick();
  EXPECT_TRUE(g.Playing());
  g.PlayClick();
  EXPECT_FALSE(g.Playing());
}

TEST(Windows, TheMeasureWindowMeasuresShowsReadsAndExports) {
  SimAudioSystem sim;
  sim.setPacing(Pacing::Unpaced);
  const dsp::BiquadCoefficients peak = dsp::BiquadCoefficients::Peaking(1000, 1.4, 6, 44100);
  sim.setLoopback({.gain = 0.7, .delay = 48.6, .biquad = peak, .polynomial = {0, 1, 0.02, 0.005}, .noiseDbfs = -90});
  MeasureWindow w(&sim);
  w.Seconds->setValue(1);
  w.StartClick();
  EXPECT_EQ(w.BtnStart->text(), QStringLiteral("Stop"));
  ASSERT_TRUE(quorvel_test::PumpUntil([&] { return !w.Measurement().Running(); }));
  ASSERT_TRUE(w.Measurement().Succeeded()) << w.Measurement().Why();
  const QRegularExpressionMatch summary =
      QRegularExpression(
          QStringLiteral("^Delay ([0-9.]+) samples \\(1.10[0-9] ms\\)\nSNR [0-9.]+ dB\nDrift -?[0-9.]+ ppm$"))
          .match(w.Summary->text());
  ASSERT_TRUE(summary.hasMatch()) << w.Summary->text().toStdString();
  EXPECT_NEAR(summary.captured(1).toDouble(), 48.6, 0.05);
  EXPECT_EQ(w.Progress->value(), 100);
  EXPECT_TRUE(w.BtnExport->isEnabled());

  // A click at 1 kHz reads the peak: 6 dB up, less the gain's 3.10 dB.
  w.resize(1200, 700);
  w.show();
  for (int i = 0; i < 20; ++i) platform::ProcessMessages();
  const QPoint at(w.Magnitude->pixelOf(1000), w.Magnitude->height() / 2);
  QTest::mouseClick(w.Magnitude, Qt::LeftButton, {}, at);
  const QRegularExpressionMatch read =
      QRegularExpression(QStringLiteral("^(1[0-9]{3}) Hz;  (-?[0-9.]+) dB$")).match(w.Magnitude->shownReadOut());
  ASSERT_TRUE(read.hasMatch()) << w.Magnitude->shownReadOut().toStdString();
  EXPECT_NEAR(read.captured(1).toDouble(), 1000, 15);
  EXPECT_NEAR(read.captured(2).toDouble(), 6 + 20 * std::log10(0.7), 0.05);

  QTemporaryDir dir;
  ASSERT_TRUE(w.ExportTo(dir.path()));
  EXPECT_EQ(
      QDir(dir.path()).entryList(QDir::Files),
      (QStringList{QStringLiteral("distortion.csv"), QStringLiteral("impulse.wav"), QStringLiteral("response.csv")}));

  if (const char* shots = std::getenv("QUORVEL_SCREENSHOT_DIR");
      shots != nullptr && QGuiApplication::platformName() == "xcb") {
    QDir().mkpath(QString::fromLocal8Bit(shots));
    EXPECT_TRUE(w.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/measure-window.png")));
  }
}

}  // namespace
