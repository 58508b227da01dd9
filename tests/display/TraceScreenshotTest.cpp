// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The signal scope on a real X display with the tone a user tries first, a
// 1 kHz sine at -6 dBFS sent block by block as the program sends it, at
// three timebases, with cursors, saved as PNG for a person to look at. The
// triggered trace must stand still from one block to the next, and what the
// screen shows of it must be the picture drawn afresh.
#include "EntryPoints.h"
#include "Pixels.h"
#include "display/ui/TraceView.h"
#include "scope/ScopeApi.h"
#include "tests/support/Windows.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <vector>

using namespace quorvel::display;
using namespace quorvel::display::test;

namespace {

// Blocks of 2048 samples of the tone, continuing where the last one ended,
// each taken by the window before the next comes.
struct Tone {
  int32_t scope;
  long next = 0;
  void send(int blocks) {
    for (int b = 0; b < blocks; ++b) {
      for (int i = 0; i < 2048; ++i, ++next) {
        const double n = std::round(16384 * std::sin(2 * std::numbers::pi * 1000 * double(next) / 44100));
        const ScopePoint p{{n / 32768, 0, 0}};
        ShowNext(scope, &p);
      }
      QuickUpDate(scope);
    }
  }
};

}  // namespace

TEST(TraceScreenshots, AToneStandsStillAtEveryTimebase) {
  const char* display = std::getenv("QUORVEL_XVFB_DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "QUORVEL_XVFB_DISPLAY is not set";
  ::setenv("DISPLAY", display, 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  int argc = 1;
  char name[] = "display_trace_screenshot_test";
  char* argv[] = {name, nullptr};
  auto app = std::make_unique<QApplication>(argc, argv);

  Tone tone{ScopeCreate(0, 0, nullptr)};
  ScopeShow(tone.scope);
  QWidget* w = quorvel_test::windowTitled("Signal");
  ASSERT_TRUE(w);
  w->resize(900, 420);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  auto* view = dynamic_cast<TraceView*>(pictureOf(w));
  ASSERT_TRUE(view);
  const QRect plot = TraceView::plotArea(view->size()).toAlignedRect().translated(view->mapTo(w, QPoint(0, 0)));
  const QDir dir(QStringLiteral(QUORVEL_SCREENSHOT_DIR));
  QDir().mkpath(dir.path());
  auto shoot = [&](const char* file) {
    // On screen each picture is painted over the last: the plot must be
    // what a picture drawn afresh shows, once the screen has caught up with
    // the last block (on a loaded machine that can take a while; a fault
    // in the painting stays).
    QImage shot, shown;
    int differ = 0;
    const QDeadlineTimer deadline(10000);
    do {
      QTest::qWait(50);
      shot = w->screen()->grabWindow(w->winId()).toImage();
      shown = shot.copy(plot);
      const QImage afresh = view->render(view->size()).copy(plot.translated(-view->mapTo(w, QPoint(0, 0))));
      differ = 0;
      for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) differ += shown.pixel(x, y) != afresh.pixel(x, y);
    } while (differ != 0 && !deadline.hasExpired());
    EXPECT_TRUE(shot.save(dir.filePath(file))) << file;
    EXPECT_TRUE(extentOf(shot, plot, isTrace)) << "nothing drawn in " << file;
    EXPECT_EQ(differ, 0) << "pixels of the plot on screen unlike the picture drawn afresh in " << file;
    return shown;
  };

  // Where the trace is in each column of the plot: the centre of its
  // colour. As the samples fall on other places of the wave from one block
  // to the next, smoothing moves these centres by about a tenth of a pixel
  // on average; sweeps a tenth of a sample apart move them by over half a
  // pixel (the steep parts by more than one).
  auto centres = [](const QImage& img) {
    std::vector<double> c(size_t(img.width()), -1);
    for (int x = 0; x < img.width(); ++x) {
      double sum = 0, weight = 0;
      for (int y = 0; y < img.height(); ++y)
        if (const QRgb p = img.pixel(x, y); isTrace(p)) {
          sum += y * qGreen(p);
          weight += qGreen(p);
        }
      if (weight > 0) c[size_t(x)] = sum / weight;
    }
    return c;
  };
  auto stoodStill = [&](const QImage& a, const QImage& b) {
    const auto ca = centres(a), cb = centres(b);
    double sum = 0;
    int n = 0;
    for (size_t x = 0; x < ca.size(); ++x)
      if (ca[x] >= 0 && cb[x] >= 0) {
        sum += std::fabs(ca[x] - cb[x]);
        ++n;
      }
    return n > 0 && sum / n < 0.25;
  };

  tone.send(4);
  const QImage first = shoot("trace-46ms.png");
  tone.send(1);
  EXPECT_TRUE(stoodStill(shoot("trace-46ms-next.png"), first)) << "the trace moved between two blocks";

  for (int i = 0; i < 5; ++i) QTest::keyClick(w, Qt::Key_Left);
  ASSERT_EQ(view->settings().spanMs, 1.0);
  tone.send(2);
  const QImage oneMs = shoot("trace-1ms.png");
  tone.send(1);
  EXPECT_TRUE(stoodStill(shoot("trace-1ms-next.png"), oneMs)) << "the trace moved between two blocks";

  // Cursors a quarter of a cycle apart.
  view->setTimeCursor(0, 0.25);
  view->setTimeCursor(1, 0.5);
  shoot("trace-1ms-cursors.png");

  for (int i = 0; i < 10; ++i) QTest::keyClick(w, Qt::Key_Right);
  ASSERT_EQ(view->settings().spanMs, 2000.0);
  tone.send(70);
  shoot("trace-2s.png");
  ScopeDestroy(tone.scope);
  app.reset();
}
