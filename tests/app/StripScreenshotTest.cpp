// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The strip window on a real X display: its controls at their places, and a
// PNG of it in the build tree for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <cmath>

#include "app/Main_unt.h"
#include "platform/NotifyWindow.h"
#include "platform/sim/SimAudioSystem.h"

using namespace app;

namespace {

TEST(StripWindow, ControlsSitWhereTheLayoutPutsThem) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs the X display scripts/test starts";
  TMain_Form::MessageSink = [](const QString&) {};
  platform::sim::SimAudioSystem sim;
  TMain_Form form(&sim);
  form.show();
  for (int i = 0; i < 50; ++i) platform::ProcessMessages();
  const double scale = form.logicalDpiX() / 120.0;
  auto s = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
  EXPECT_EQ(form.size(), QSize(s(314), s(37)));
  EXPECT_EQ(form.BtnStart->geometry(), QRect(s(236), s(8), s(75), s(24)));
  EXPECT_EQ(form.CheckFFT->geometry(), QRect(s(168), s(12), s(49), s(17)));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());  // not resizable

  const QImage shot = form.grab().toImage();
  QDir().mkpath(QUORVEL_SCREENSHOT_DIR);
  ASSERT_TRUE(shot.save(QStringLiteral(QUORVEL_SCREENSHOT_DIR "/strip.png")));
  // The button is drawn where it sits: its area is not the window's face.
  const QColor face = shot.pixelColor(s(10), s(18));
  int differing = 0;
  const QRect b = form.BtnStart->geometry();
  for (int x = b.left(); x < b.right(); ++x) differing += shot.pixelColor(x, b.center().y()) != face;
  EXPECT_GT(differing, b.width() / 4);
  TMain_Form::MessageSink = nullptr;
}

}  // namespace
