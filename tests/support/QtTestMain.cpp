// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// GoogleTest main inside a Qt application, so that notification windows and
// one-pass message processing work in tests.
#include <gtest/gtest.h>

#include <cstdlib>

#ifdef QUORVEL_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
#ifdef QUORVEL_TEST_XVFB
  // Windows on the test command's private X display when it has one, so
  // that what is grabbed is what a screen shows; offscreen otherwise.
  if (const char* display = std::getenv("QUORVEL_XVFB_DISPLAY")) {
    setenv("DISPLAY", display, 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
#endif
  TestApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
