// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Finding the scope's data colours in a rendered picture.
#pragma once

#include <QImage>
#include <QRect>
#include <QStackedWidget>
#include <QWidget>

#include <functional>
#include <optional>

namespace quorvel::display::test {

using ColourTest = std::function<bool(QRgb)>;

inline bool isTrace(QRgb c) { return qGreen(c) > 110 && qGreen(c) > qRed(c) + 40 && qGreen(c) > qBlue(c) + 10; }
// Loose enough for a line split over two pixel rows by antialiasing.
inline bool isSpectrumLine(QRgb c) { return qBlue(c) > 110 && qBlue(c) > qRed(c) + 60; }

// Rows and columns (inclusive) where the colour occurs inside area.
struct Extent {
  int top = 0, bottom = 0, left = 0, right = 0;
};
inline std::optional<Extent> extentOf(const QImage& img, const QRect& area, const ColourTest& is) {
  std::optional<Extent> e;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (is(img.pixel(x, y))) {
        if (!e) e = Extent{y, y, x, x};
        e->top = std::min(e->top, y), e->bottom = std::max(e->bottom, y);
        e->left = std::min(e->left, x), e->right = std::max(e->right, x);
      }
  return e;
}

// The first column of the topmost row holding the colour.
inline std::optional<int> columnOfTopmost(const QImage& img, const QRect& area, const ColourTest& is) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (is(img.pixel(x, y))) return x;
  return std::nullopt;
}

// The picture inside a scope window: its current view, under the toolbar.
inline QWidget* pictureOf(QWidget* window) {
  auto* stack = window ? window->findChild<QStackedWidget*>() : nullptr;
  return stack ? stack->currentWidget() : nullptr;
}

}  // namespace quorvel::display::test
