// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The library through its nine entry points, as the program uses it.
#include "EntryPoints.h"
#include "Pixels.h"
#include "PrivateConfig.h"
#include "display/ui/PlotAxes.h"
#include "display/ui/TraceView.h"
#include "scope/ScopeApi.h"
#include "tests/support/Windows.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <set>
#include <string>
#include <thread>

using namespace quorvel::display;
using namespace quorvel::display::test;
using quorvel_test::windowTitled;

namespace {

void sendSine(int32_t h, int n, double amplitude) {
  for (int i = 0; i < n; ++i) {
    const ScopePoint p{{amplitude * std::sin(2 * std::numbers::pi * i / 128.0), 0, 0}};
    ShowNext(h, &p);
  }
}

// A scope created and destroyed by the test.
struct Scope {
  int32_t h;
  explicit Scope(const char* name = nullptr) : h(ScopeCreate(0, 0, name)) {}
  ~Scope() { ScopeDestroy(h); }
};

}  // namespace

TEST(Library, ExportsExactlyTheNineEntryPoints) {
  FILE* nm = ::popen("nm -D --defined-only " QUORVEL_DISPLAY_LIBRARY, "r");
  ASSERT_TRUE(nm);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, nm)) {
    std::string s(line);
    s.erase(s.find_last_not_of("\n") + 1);
    names.insert(s.substr(s.rfind(' ') + 1));
  }
  ASSERT_EQ(::pclose(nm), 0);
  EXPECT_EQ(names, (std::set<std::string>{"AtOpenLib", "ShowNext", "ScopeCreate", "ScopeDestroy", "ScopeShow",
                                          "ScopeHide", "ScopeCleanBuffers", "QuickUpDate", "ExternalNext"}));
}

TEST(Library, CreatesTitledWindowsThatShowAndHide) {
  AtOpenLib(0);
  Scope signal, fft("FFT");
  EXPECT_GT(signal.h, 0);
  EXPECT_GT(fft.h, 0);
  EXPECT_NE(signal.h, fft.h);
  QWidget* sw = windowTitled("Signal");
  QWidget* fw = windowTitled("FFT");
  ASSERT_TRUE(sw && fw);
  EXPECT_TRUE(sw->isWindow());
  EXPECT_FALSE(sw->isVisible());
  ScopeShow(signal.h);
  ScopeShow(fft.h);
  EXPECT_TRUE(sw->isVisible());
  EXPECT_FALSE(sw->geometry().intersects(fw->geometry())) << "the two scopes cover each other";
  ScopeHide(fft.h);
  EXPECT_FALSE(fw->isVisible());
  // A window the user closed, or minimised, comes back with ScopeShow.
  sw->close();
  EXPECT_FALSE(sw->isVisible());
  ScopeShow(signal.h);
  EXPECT_TRUE(sw->isVisible());
  sw->showMinimized();
  ScopeShow(signal.h);
  EXPECT_FALSE(sw->isMinimized());
}

TEST(Library, ScopesComeBackWherePlacedByTitle) {
  PrivateConfig config;
  ASSERT_TRUE(config.isValid());
  const QRect place(QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(21, 33), QSize(400, 250));
  {
    Scope s("Remembered");
    QWidget* w = windowTitled("Remembered");
    ASSERT_TRUE(w);
    ASSERT_NE(w->geometry(), place);
    w->setGeometry(place);
  }
  Scope again("Remembered"), other("Forgotten");
  EXPECT_EQ(windowTitled("Remembered")->geometry(), place);
  EXPECT_NE(windowTitled("Forgotten")->geometry(), place);
}

TEST(Library, UnknownHandlesAreIgnored) {
  const ScopePoint p{{0.5, 0, 0}};
  for (int32_t h : {0, -1, 12345, 1 << 30}) {
    ShowNext(h, &p);
    EXPECT_EQ(ExternalNext(h, &p, 1), 0);
    ScopeShow(h);
    ScopeHide(h);
    ScopeCleanBuffers(h);
    QuickUpDate(h);
    ScopeDestroy(h);
  }
  // A destroyed scope's handle stays dead, even once its slot is reused.
  int32_t old;
  {
    Scope s;
    old = s.h;
  }
  Scope again;
  EXPECT_NE(again.h, old);
  ShowNext(old, &p);
  ScopeDestroy(old);
  EXPECT_TRUE(windowTitled("Signal"));
}

TEST(Library, CreateOffTheGuiThreadGivesNoScope) {
  int32_t h = -1;
  std::thread([&] { h = ScopeCreate(0, 0, "elsewhere"); }).join();
  EXPECT_EQ(h, 0);
  EXPECT_FALSE(windowTitled("elsewhere"));
}

TEST(Library, DestroyWithPointsStillPending) {
  Scope keep;
  const int32_t h = ScopeCreate(0, 0, "pending");
  ScopeShow(h);
  sendSine(h, 50000, 1.0);
  ScopeDestroy(h);
  EXPECT_FALSE(windowTitled("pending"));
  QCoreApplication::processEvents();  // its timer must not fire any more
}

TEST(Library, CleanBuffersClearsTheTraceAndPendingPoints) {
  Scope s("clean");
  QWidget* w = windowTitled("clean");
  ASSERT_TRUE(w);
  w->resize(900, 350);
  ScopeShow(s.h);
  QWidget* picture = pictureOf(w);
  ASSERT_TRUE(picture);
  const QRectF plot = TraceView::plotArea(picture->size());
  const QRect area = plot.toAlignedRect().adjusted(1, 1, -1, -1);

  sendSine(s.h, 4096, 1.0);
  QuickUpDate(s.h);
  auto e = extentOf(pictureOf(w)->grab().toImage(), area, isTrace);
  ASSERT_TRUE(e);
  EXPECT_LT(e->top, amplitudeToY(0.9, plot)) << "QuickUpDate drew the points at once";

  sendSine(s.h, 1000, 1.0);  // pending when the buffers are cleaned
  ScopeCleanBuffers(s.h);
  QuickUpDate(s.h);
  EXPECT_FALSE(extentOf(pictureOf(w)->grab().toImage(), area, isTrace)) << "nothing is left to draw";

  // A scope that was showing frames goes back to a trace.
  const ScopePoint marker{{ScopeFrameMarker, 0, 0}};
  ShowNext(s.h, &marker);
  ScopeCleanBuffers(s.h);
  sendSine(s.h, 2048, 0.5);
  QuickUpDate(s.h);
  e = extentOf(pictureOf(w)->grab().toImage(), area, isTrace);
  ASSERT_TRUE(e);
  EXPECT_NEAR(e->top, amplitudeToY(0.5, plot), 2.0);
}

TEST(Library, ExternalNextTakesPointsUntilTheQueueIsFull) {
  Scope s;
  std::vector<ScopePoint> many(70000, ScopePoint{{0.25, 0, 0}});
  EXPECT_EQ(ExternalNext(s.h, many.data(), 0), 0);
  EXPECT_EQ(ExternalNext(s.h, nullptr, 5), 0);
  const int32_t taken = ExternalNext(s.h, many.data(), int32_t(many.size()));
  EXPECT_EQ(taken, 65536);
  QuickUpDate(s.h);
  EXPECT_EQ(ExternalNext(s.h, many.data(), 100), 100) << "room again once the window has taken its points";
}
