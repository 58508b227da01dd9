// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// GoogleTest main with a widget application on Qt's offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Quorvel audio"));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
