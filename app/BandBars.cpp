// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/BandBars.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace app {

namespace {
constexpr double kSpanDb = 100;
const QColor kBackground(24, 28, 34), kGrid(58, 64, 72), kBar(80, 170, 210), kHold(240, 240, 240), kText(170, 176, 184);
}  // namespace

BandBars::BandBars(QWidget* parent) : QWidget(parent) { setMinimumSize(320, 160); }

void BandBars::SetBands(std::vector<QString> names, double topDb, const QString& unit) {
  names_ = std::move(names);
  levels_.assign(names_.size(), -INFINITY);
  hold_ = dsp::PeakHold(int(names_.size()));
  SetScale(topDb, unit);
  update();
}

void BandBars::SetScale(double topDb, const QString& unit) {
  // Full scale, up to the next 10 dB.
  const double top = 10 * std::ceil(topDb / 10 - 1e-9);
  if (top == topDb_ && unit == unit_) return;
  topDb_ = top;
  unit_ = unit;
  hold_.reset();
  update();
}

void BandBars::SetLevels(const std::vector<double>& levels, bool hold) {
  levels_ = levels;
  if (hold) hold_.update(levels);
  update();
}

void BandBars::ResetHold() {
  hold_.reset();
  update();
}

void BandBars::paintEvent(QPaintEvent*) {
  QPainter p(this);
  Paint(p, size());
}

void BandBars::Paint(QPainter& p, QSize size) const {
  const QFontMetrics fm(p.font());
  const int left = fm.horizontalAdvance(QStringLiteral("\u2212100 ")) + 4, top = fm.height() / 2 + 2;
  const int bottom = size.height() - fm.height() - 6, right = size.width() - 6;
  const QRect plot(left, top, std::max(1, right - left), std::max(1, bottom - top));
  p.fillRect(QRect(QPoint(0, 0), size), kBackground);
  const auto y = [&](double db) {
    return plot.top() + int(std::lround(std::clamp((topDb_ - db) / kSpanDb, 0.0, 1.0) * plot.height()));
  };
  // The scale, every 10 dB.
  p.setPen(kGrid);
  for (double db = topDb_; db >= topDb_ - kSpanDb; db -= 10) p.drawLine(plot.left(), y(db), plot.right(), y(db));
  p.setPen(kText);
  for (double db = topDb_; db >= topDb_ - kSpanDb; db -= 20) {
    QString label = QString::number(db, 'f', 0);
    if (db < 0) label.replace(0, 1, QChar(0x2212));
    p.drawText(QRect(0, y(db) - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter, label);
  }
  p.drawText(QRect(plot.left() + 4, plot.top(), plot.width() - 8, fm.height()), Qt::AlignRight | Qt::AlignTop, unit_);
  const int n = int(names_.size());
  if (n == 0) return;
  const double pitch = double(plot.width()) / n;
  const int gap = pitch >= 6 ? std::max(1, int(pitch / 6)) : 0;
  const std::vector<double>& held = hold_.levels();
  int labelsEnd = -1000;
  for (int j = 0; j < n; ++j) {
    const int x0 = plot.left() + int(std::lround(j * pitch)), x1 = plot.left() + int(std::lround((j + 1) * pitch));
    const int w = std::max(1, x1 - x0 - gap);
    if (j < int(levels_.size()) && std::isfinite(levels_[size_t(j)]))
      p.fillRect(QRect(x0, y(levels_[size_t(j)]), w, plot.bottom() - y(levels_[size_t(j)]) + 1), kBar);
    if (j < int(held.size()) && std::isfinite(held[size_t(j)]))
      p.fillRect(QRect(x0, y(held[size_t(j)]) - 1, w, 2), kHold);
    // A name where it does not run into the one before.
    const int textWidth = fm.horizontalAdvance(names_[size_t(j)]);
    const int textLeft = (x0 + x1) / 2 - textWidth / 2;
    if (textLeft > labelsEnd + 6 && textLeft + textWidth <= size.width()) {
      p.setPen(kText);
      p.drawText(QRect(textLeft, bottom + 3, textWidth, fm.height()), Qt::AlignCenter, names_[size_t(j)]);
      labelsEnd = textLeft + textWidth;
    }
  }
}

}  // namespace app
