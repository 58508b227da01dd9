// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Both scopes on a real X display, saved as PNG into the build tree for a
// person to look at: the signal scope with a sine, the spectrum scope with
// the frame the program would send for that sine.
#include "EntryPoints.h"
#include "Pixels.h"
#include "display/ui/PlotAxes.h"
#include "display/ui/SpectrumView.h"
#include "scope/ScopeApi.h"
#include "tests/support/Wait.h"
#include "tests/support/Windows.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

using namespace quorvel::display;
using namespace quorvel::display::test;
using quorvel_test::windowTitled;

namespace {

constexpr int kN = 2048;
constexpr double kHz = 10.3 * 44100.0 / kN;  // between bins 10 and 11, about 222 Hz

// The block a microphone would give: a sine at 0.7 of full scale and a little noise.
std::vector<double> block(int offset) {
  std::mt19937 rng(42 + offset);
  std::normal_distribution<double> noise(0, 0.0005);
  std::vector<double> x(kN);
  for (int n = 0; n < kN; ++n)
    x[size_t(n)] = 0.7 * std::sin(2 * std::numbers::pi * kHz * (n + offset) / 44100.0) + noise(rng);
  return x;
}

// A frame's bins for the block, as the analyser sends them: the level in dB
// of full scale and the amplitude in percent minus 100, of a Hamming-windowed
// transform.
std::vector<ScopePoint> bins(const std::vector<double>& x) {
  std::vector<ScopePoint> out(kN / 2);
  for (int k = 0; k < kN / 2; ++k) {
    std::complex<double> sum;
    for (int n = 0; n < kN; ++n) {
      const double w = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * n / (kN - 1));
      sum += x[size_t(n)] * w * std::polar(1.0, -2 * std::numbers::pi * k * n / kN);
    }
    const double a = std::abs(sum) / (kN / 2) * 1.85;
    out[size_t(k)] = {{a > 0 ? 20 * std::log10(a) : -200, a * 100 - 100, 0}};
  }
  return out;
}

}  // namespace

TEST(Screenshots, BothScopesOnAnXDisplay) {
  const char* display = std::getenv("QUORVEL_XVFB_DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "QUORVEL_XVFB_DISPLAY is not set";
  ::setenv("DISPLAY", display, 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  int argc = 1;
  char name[] = "display_screenshot_test";
  char* argv[] = {name, nullptr};
  auto app = std::make_unique<QApplication>(argc, argv);

  const int32_t signal = ScopeCreate(0, 0, nullptr);
  const int32_t fft = ScopeCreate(0, 0, "FFT");
  ScopeShow(signal);
  ScopeShow(fft);
  QWidget* sw = windowTitled("Signal");
  QWidget* fw = windowTitled("FFT");
  ASSERT_TRUE(sw && fw);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(sw));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fw));

  // A few blocks, so the spectrum's peak hold has something to hold.
  for (int b = 0; b < 4; ++b) {
    const std::vector<double> x = block(b * kN);
    for (double v : x) {
      const ScopePoint p{{v, 0, 0}};
      ShowNext(signal, &p);
    }
    ScopePoint p{{ScopeFrameMarker, 0, 0}};
    ShowNext(fft, &p);
    p.Value[0] = 0;
    for (int i = 0; i < ScopeFrameHeaderPoints; ++i) ShowNext(fft, &p);
    for (const ScopePoint& bin : bins(x)) ShowNext(fft, &bin);
  }
  QuickUpDate(signal);
  QuickUpDate(fft);
  QTest::qWait(200);

  QDir().mkpath(QUORVEL_SCREENSHOT_DIR);
  const QString dir = QStringLiteral(QUORVEL_SCREENSHOT_DIR);
  for (auto [w, file, is] : {std::tuple{sw, "signal.png", ColourTest(isTrace)},
                             std::tuple{fw, "spectrum.png", ColourTest(isSpectrumLine)}}) {
    const QImage shot = w->screen()->grabWindow(w->winId()).toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + "/" + file)) << file;
    const QWidget* picture = pictureOf(w);
    ASSERT_TRUE(picture);
    const QRect plot = plotRect(picture->size()).toAlignedRect().translated(picture->mapTo(w, QPoint(0, 0)));
    EXPECT_TRUE(extentOf(shot, plot, is)) << "nothing drawn in " << file;
  }
  // The logarithmic frequency axis, switched with its key: the tone's peak
  // moves to its place on that axis (at a tenth of the width on the linear
  // one, at over a third on this one). The window's toolbar changes too, so
  // only the plot tells whether the picture did.
  auto* view = dynamic_cast<SpectrumView*>(pictureOf(fw));
  ASSERT_TRUE(view);
  const QPoint origin = view->mapTo(fw, QPoint(0, 0));
  auto grab = [fw] { return fw->screen()->grabWindow(fw->winId()).toImage(); };
  QTest::keyClick(fw, Qt::Key_L);
  const QRectF pane = view->panes(view->size()).spectrum;
  const double toneX = origin.x() + FrequencyAxis{view->frequencyAxis().maxHz, true}.toX(kHz, pane);
  QImage logShot;
  EXPECT_TRUE(quorvel_test::PumpUntil([&] {
    logShot = grab();
    const auto x = columnOfTopmost(logShot, pane.toAlignedRect().translated(origin), isSpectrumLine);
    return x && std::abs(*x - toneX) <= 8;  // the line peaks at bin 10, 3 pixels short
  })) << "the peak is not where the logarithmic axis puts "
      << kHz << " Hz";
  EXPECT_TRUE(logShot.save(dir + "/spectrum-log.png"));
  // The spectrogram under the spectrum, and the harmonics read out: the
  // newest row holds the tone bright in its column, the noise dimmer beside.
  QTest::keyClick(fw, Qt::Key_G);
  QTest::keyClick(fw, Qt::Key_H);
  const QRectF rows = view->panes(view->size()).spectrogram;
  ASSERT_FALSE(rows.isEmpty()) << "the key did not show the spectrogram";
  const int newestRow = origin.y() + int(rows.top() + 0.5 * rows.height() / view->model().history().capacity());
  auto brightness = [&](const QImage& shot, int x) {
    int most = 0;
    for (int dx = -4; dx <= 4; ++dx) {
      const QRgb c = shot.pixel(x + dx, newestRow);
      most = std::max(most, qRed(c) + qGreen(c) + qBlue(c));
    }
    return most;
  };
  QImage bothShot;
  EXPECT_TRUE(quorvel_test::PumpUntil([&] {
    bothShot = grab();
    const int tone = brightness(bothShot, int(toneX)), beside = brightness(bothShot, int(toneX) + 100);
    return tone > 500 && tone > beside + 150;
  })) << "no spectrogram row with the tone in it";
  EXPECT_TRUE(bothShot.save(dir + "/spectrum-spectrogram.png"));
  ScopeDestroy(fft);
  ScopeDestroy(signal);
  app.reset();
}
