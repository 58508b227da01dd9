// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The frame scope's read-outs and pictures: the text a frame is copied as
// (a tone sent through the program's own analyser on top), the
// spectrogram's newest row, and the program's spectrum scope before its
// first frame.
#include "Pixels.h"
#include "display/PointRing.h"
#include "display/ui/ScopeWindow.h"
#include "display/ui/SpectrumView.h"
#include "dsp/TraceMeasurements.h"
#include "tests/dsp/ProgramFrame.h"

#include <QLocale>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

using namespace quorvel::display;
using namespace quorvel::display::test;
using dsp::test::analysed;
using dsp::test::kBinHz;
using dsp::test::kRate;

TEST(FrameCopy, TextParsesBackToWhatWasReceived) {
  QLocale::setDefault(QLocale(QLocale::German));  // a decimal comma must not leak in
  SpectrumView view(ScopeConfig{});
  EXPECT_TRUE(view.clipboardText().isEmpty()) << "nothing to copy before a frame";
  std::vector<double> levels, amplitudes;
  for (int k = 0; k < 1024; ++k) {
    levels.push_back(-120 + k * 0.0731);
    amplitudes.push_back(-100 + 100 * std::pow(10, (-125 + k * 0.07) / 20));
  }
  const double hz = 1000.0, amp = 0.5;  // a tone on top, as the analyser would send it
  const std::vector<double> tone = analysed([&] {
    std::vector<double> x(2048);
    for (int n = 0; n < 2048; ++n) x[size_t(n)] = amp * std::sin(2 * std::numbers::pi * hz * n / kRate);
    return x;
  }());
  for (int k = 0; k < 1024; ++k) amplitudes[size_t(k)] = std::max(amplitudes[size_t(k)], tone[size_t(k)]);
  view.consume({{ScopeFrameMarker, 0, 0}}, false);
  for (int i = 0; i < ScopeFrameHeaderPoints; ++i) view.consume({{0, 0, 0}}, false);
  for (int k = 0; k < 1024; ++k) view.consume({{levels[size_t(k)], amplitudes[size_t(k)], 0}}, false);

  const QStringList lines = view.clipboardText().split('\n', Qt::SkipEmptyParts);
  QLocale::setDefault(QLocale::c());
  constexpr int kHeader = 14;
  ASSERT_EQ(lines.size(), kHeader + 1024);
  EXPECT_EQ(lines[0], QStringLiteral("# dbfs: ") + dsp::kDbfsConvention);
  EXPECT_EQ(lines[1], "# peak_hz: 1000.00");
  EXPECT_EQ(lines[2], "# peak_dbfs: -6.02");
  EXPECT_EQ(lines[3], "# thd_percent: none");
  EXPECT_EQ(lines[4], "# thd_percent_below: none");
  EXPECT_EQ(lines[5], "# thd_harmonics: none");
  EXPECT_EQ(lines[6], "# hold_peak_hz: 1000.00") << "one frame: the hold is the frame";
  EXPECT_EQ(lines[7], "# hold_peak_dbfs: -6.02");
  EXPECT_EQ(lines[8], "# bins: 1024");
  EXPECT_EQ(lines[9], "# bin_hz: 21.5332");
  for (int i = 10; i < kHeader - 1; ++i) EXPECT_TRUE(lines[i].startsWith("# ")) << lines[i].toStdString();
  EXPECT_EQ(lines[kHeader - 1], "frequency_hz,level_db,amplitude_percent,peak_hold_db");
  for (int k = 0; k < 1024; ++k) {
    const QStringList f = lines[kHeader + k].split(',');
    ASSERT_EQ(f.size(), 4) << lines[kHeader + k].toStdString();
    bool ok[4];
    const double percent = amplitudes[size_t(k)] + 100;  // value 1 is the percentage minus 100
    EXPECT_NEAR(f[0].toDouble(&ok[0]), k * kBinHz, 0.0051);
    EXPECT_NEAR(f[1].toDouble(&ok[1]), levels[size_t(k)], 0.0051);
    EXPECT_NEAR(f[2].toDouble(&ok[2]), percent, 5.1e-7);
    EXPECT_NEAR(f[3].toDouble(&ok[3]), 20 * std::log10(percent / 100), 0.0051) << "one frame: the hold is the frame";
    ASSERT_TRUE(ok[0] && ok[1] && ok[2] && ok[3]) << lines[kHeader + k].toStdString();
  }
}

// The peak hold takes each frame's own amplitude, not the level smoothed
// over frames: a burst one frame long is held at its level (read between
// bins from the hold), however low the smoothed level stayed.
TEST(FrameHold, ABurstIsHeldAtItsOwnLevel) {
  for (double hz : {1000.0, 15000.0, 46.5 * kBinHz}) {
    SpectrumView view(ScopeConfig{});
    auto send = [&](double amplitude) {
      std::vector<double> x(2048);
      for (int n = 0; n < 2048; ++n)
        x[size_t(n)] = std::round(amplitude * std::sin(2 * std::numbers::pi * hz * n / kRate) * 32768) / 32768;
      const std::vector<double> v1 = analysed(x);
      view.consume({{ScopeFrameMarker, 0, 0}}, false);
      for (int i = 0; i < ScopeFrameHeaderPoints; ++i) view.consume({{0, 0, 0}}, false);
      // Value 0 as the analyser would have smoothed it: far below the burst.
      for (int k = 0; k < 1024; ++k) view.consume({{-60, v1[size_t(k)], 0}}, false);
    };
    for (int f = 0; f < 5; ++f) send(0);
    send(0.5);
    for (int f = 0; f < 5; ++f) send(0);
    ASSERT_TRUE(view.heldPeak()) << hz;
    EXPECT_NEAR(view.heldPeak()->dbfs(), -6.02, 0.05) << hz;
    EXPECT_NEAR(view.heldPeak()->hz(kBinHz), hz, 0.1);
    const std::vector<double>& hold = view.model().peaks();
    EXPECT_NEAR(*std::max_element(hold.begin(), hold.end()), -6.02, 1.8) << hz << ": the strongest bin, scalloped";
  }
}

// With harmonics measured, the copied frame carries their THD: a 1 kHz
// tone with its second harmonic 40 dB down has 1 %.
TEST(FrameCopy, CarriesTheThdOfTheFrameWhenHarmonicsAreMeasured) {
  SpectrumView view(ScopeConfig{});
  SpectrumSettings s = view.settings();
  s.harmonics = true;
  view.setSettings(s);
  std::vector<double> x(2048);
  for (int n = 0; n < 2048; ++n)
    x[size_t(n)] = 0.5 * std::sin(2 * std::numbers::pi * 1000 * n / kRate) +
                   0.005 * std::sin(2 * std::numbers::pi * 2000 * n / kRate + 1);
  const std::vector<double> amplitudes = analysed(x);
  view.consume({{ScopeFrameMarker, 0, 0}}, false);
  for (int i = 0; i < ScopeFrameHeaderPoints; ++i) view.consume({{0, 0, 0}}, false);
  for (double a : amplitudes) view.consume({{-100, a, 0}}, false);
  const QStringList lines = view.clipboardText().split('\n', Qt::SkipEmptyParts);
  ASSERT_GT(lines.size(), 3);
  ASSERT_TRUE(lines[3].startsWith("# thd_percent: ")) << lines[3].toStdString();
  bool ok = false;
  EXPECT_NEAR(lines[3].section(": ", 1).toDouble(&ok), 1.0, 0.06) << lines[3].toStdString();
  EXPECT_TRUE(ok) << lines[3].toStdString();
}

TEST(SpectrogramPicture, NewestFrameIsTheTopRowAndMovesDownWithTheNext) {
  SpectrumView view(ScopeConfig{});
  SpectrumSettings s;
  s.layout = SpectrumLayout::Spectrogram;
  view.setSettings(s);
  const int loudBin = 200;
  auto send = [&](bool loud) {
    view.consume({{ScopeFrameMarker, 0, 0}}, false);
    for (int i = 0; i < ScopeFrameHeaderPoints; ++i) view.consume({{0, 0, 0}}, false);
    for (int k = 0; k < 1024; ++k)  // the tone at -6 dB, the rest at -150 dB
      view.consume({{-150, k == loudBin && loud ? -50.0 : -100 + 100 * std::pow(10, -150 / 20.0), 0}}, false);
  };
  for (int f = 0; f < 30; ++f) send(false);
  send(true);
  const QSize size(1200, 400);
  const QRectF pane = view.panes(size).spectrogram;
  const double rowHeight = pane.height() / view.model().history().capacity();
  const int x = int(view.frequencyAxis().toX(loudBin * kBinHz, pane));
  auto brightness = [](QRgb c) { return qRed(c) + qGreen(c) + qBlue(c); };
  auto brightAt = [&](const QImage& img, double rowFromTop) {
    return brightness(img.pixel(x, int(pane.top() + (rowFromTop + 0.5) * rowHeight)));
  };
  QImage img = view.render(size, false);
  EXPECT_GT(brightAt(img, 0), 300) << "the newest frame is the top row";
  EXPECT_LT(brightAt(img, 1), 60) << "the frame before it is quiet";
  EXPECT_LT(brightness(img.pixel(x + 40, int(pane.top() + 0.5 * rowHeight))), 60) << "and so are other bins";
  send(false);
  img = view.render(size, false);
  EXPECT_LT(brightAt(img, 0), 60);
  EXPECT_GT(brightAt(img, 1), 300) << "one frame later it is one row down";
}

TEST(FrameScope, ProgramsSpectrumScopeWaitsForFramesAndReturnsToThat) {
  PointRing ring(4096);
  ScopeWindow fft(ScopeConfig::fromCreate(0, 0, "FFT"), ring, 0);
  EXPECT_TRUE(fft.showsFrames()) << "the frame view, waiting, before any point";
  const QImage waiting = fft.view().render(QSize(600, 300), false);
  EXPECT_FALSE(extentOf(waiting, waiting.rect(), isSpectrumLine)) << "no spectrum drawn yet";
  for (int i = 0; i < 2000; ++i) ring.push({{0.5, 0, 0}});
  fft.drain();
  EXPECT_TRUE(fft.showsFrames()) << "points before a marker do not make it a trace";
  fft.cleanBuffers();
  EXPECT_TRUE(fft.showsFrames());

  PointRing signalRing(4096);
  ScopeWindow signal(ScopeConfig::fromCreate(0, 0, nullptr), signalRing, 1);
  EXPECT_FALSE(signal.showsFrames());
  signalRing.push({{ScopeFrameMarker, 0, 0}});
  signal.drain();
  EXPECT_TRUE(signal.showsFrames());
  signal.cleanBuffers();
  EXPECT_FALSE(signal.showsFrames());
}

namespace {

SpectrumView* fedView = nullptr;

// Blocks of a continuing signal through the program's own analyser, frame
// after frame, its level smoothing carried on, into the view.
void sendBlocks(SpectrumView& view, const std::function<double(long)>& signal, long& next, int blocks) {
  fedView = &view;
  for (int b = 0; b < blocks; ++b) {
    for (int n = 0; n < 2048; ++n, ++next) analysis::StoreSample(n, float(std::round(signal(next) * 32768) / 32768));
    analysis::FFT_Spectrum();
    ScopePoint point{};
    analysis::SpectrumFrame(
        analysis::PowerBuffer, 2048, [](int32_t, const ScopePoint* p) { fedView->consume(*p, false); }, 1, point);
  }
}

}  // namespace

// Under a steady tone the harmonics' markers stand still at their fitted
// levels, on the curve; one buried under the fundamental's leakage marks
// the curve. The pointer reads the curve's level at its frequency.
TEST(FrameMarks, HarmonicsSitOnTheCurveAndStandStill) {
  ASSERT_TRUE(analysis::FFT_Init());
  SpectrumView view(ScopeConfig{});
  SpectrumSettings s;
  s.harmonics = true;
  view.setSettings(s);
  const QSize size(900, 420);
  view.resize(size);
  const QRectF pane = view.panes(size).spectrum;
  const double f = 997, w = 2 * std::numbers::pi * f / kRate;
  const double second = std::pow(10, -50 / 20.0), third = std::pow(10, -140 / 20.0);
  auto signal = [&](long n) {
    return 0.5 * std::sin(w * double(n)) + second * std::sin(2 * w * double(n) + 1) +
           third * std::sin(3 * w * double(n) + 2);
  };
  long next = 0;
  sendBlocks(view, signal, next, 30);
  std::vector<double> seconds;
  for (int frame = 0; frame < 10; ++frame) {
    sendBlocks(view, signal, next, 1);
    const auto marks = view.harmonicMarks(pane);
    ASSERT_GE(marks.size(), 3u);
    const auto& m2 = marks[0];
    const auto& m3 = marks[1];
    ASSERT_EQ(m2.order, 2);
    EXPECT_FALSE(m2.buried);
    EXPECT_NEAR(m2.db, -50, 1);
    // The curve's peak there: its bins, up to the window's scalloping
    // (1.78 dB) under a tone between them.
    const std::vector<double>& levels = view.markedLevels();
    const int bin = int(std::lround(m2.hz / kBinHz));
    const double curve2 = std::max({levels[size_t(bin - 1)], levels[size_t(bin)], levels[size_t(bin + 1)]});
    EXPECT_NEAR(m2.db, curve2, 1.8) << "on the curve";
    seconds.push_back(m2.db);
    ASSERT_EQ(m3.order, 3);
    EXPECT_TRUE(m3.buried) << "-140 dBFS lies under the leakage";
    const std::optional<double> curve3 = view.curveLevelAt(view.markedLevels(), m3.hz, pane);
    ASSERT_TRUE(curve3);
    EXPECT_EQ(m3.db, *curve3);
  }
  EXPECT_LT(*std::max_element(seconds.begin(), seconds.end()) - *std::min_element(seconds.begin(), seconds.end()), 0.3)
      << "the marker stands still";
  // The pointer's read-out at the fundamental is the curve's peak there, not the pointer's height.
  const std::optional<double> atTone = view.curveLevelAt(view.markedLevels(), f, pane);
  ASSERT_TRUE(atTone);
  EXPECT_NEAR(*atTone, -6.02, 1.8);
  analysis::FFT_Free();
}
