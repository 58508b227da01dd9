// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Finding a top-level window by its title, as a user would.
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

namespace quorvel_test {

inline QWidget* windowTitled(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == title) return w;
  return nullptr;
}

}  // namespace quorvel_test
