// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Plot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

namespace app {

namespace {
constexpr int kLeft = 52, kRight = 10, kTop = 22, kBottom = 22;

// A label for a grid line: 20, 200, 2k, 20k for hertz.
QString Tick(double v, bool log) {
  if (log && v >= 1000) return QString::number(v / 1000, 'g', 3) + QStringLiteral("k");
  return QString::number(v, 'g', 4);
}
}  // namespace

Plot::Plot(QString title, QString xUnit, QString yUnit, bool logX, QWidget* parent)
    : QWidget(parent), title_(std::move(title)), xUnit_(std::move(xUnit)), yUnit_(std::move(yUnit)), logX_(logX) {
  setMinimumSize(320, 200);
  findRanges();
}

void Plot::setSeries(std::vector<Series> series) {
  series_ = std::move(series);
  readOut_.clear();
  readOutPixel_ = -1;
  findRanges();
  update();
}

void Plot::setYRange(double lo, double hi) {
  fixedY_ = true;
  yLo_ = lo;
  yHi_ = hi;
  findRanges();
  update();
}

QRect Plot::area() const { return rect().adjusted(kLeft, kTop, -kRight, -kBottom); }

void Plot::ranges(double& x0, double& x1, double& y0, double& y1) const {
  x0 = range_[0], x1 = range_[1], y0 = range_[2], y1 = range_[3];
}

// The ranges shown, found once for each set of series.
void Plot::findRanges() {
  double& x0 = range_[0];
  double& x1 = range_[1];
  double& y0 = range_[2];
  double& y1 = range_[3];
  x0 = y0 = std::numeric_limits<double>::infinity();
  x1 = y1 = -std::numeric_limits<double>::infinity();
  for (const Series& s : series_)
    for (std::size_t i = 0; i < s.x.size(); ++i) {
      x0 = std::min(x0, s.x[i]);
      x1 = std::max(x1, s.x[i]);
      if (std::isnan(s.y[i])) continue;
      y0 = std::min(y0, s.y[i]);
      y1 = std::max(y1, s.y[i]);
    }
  if (!(x1 > x0)) x0 = logX_ ? 10 : 0, x1 = logX_ ? 20000 : 1;
  if (fixedY_) {
    y0 = yLo_, y1 = yHi_;
  } else if (!(y1 > y0)) {
    const double mid = std::isfinite(y0) ? y0 : 0;
    y0 = mid - 1, y1 = mid + 1;
  } else {
    const double pad = (y1 - y0) * 0.08;
    y0 -= pad, y1 += pad;
  }
}

double Plot::scaleX(double x) const {
  double x0, x1, y0, y1;
  ranges(x0, x1, y0, y1);
  return logX_ ? std::log(x / x0) / std::log(x1 / x0) : (x - x0) / (x1 - x0);
}

double Plot::xAt(int pixel) const {
  double x0, x1, y0, y1;
  ranges(x0, x1, y0, y1);
  const QRect a = area();
  const double t = std::clamp(static_cast<double>(pixel - a.left()) / a.width(), 0.0, 1.0);
  return logX_ ? x0 * std::pow(x1 / x0, t) : x0 + t * (x1 - x0);
}

int Plot::pixelOf(double x) const {
  const QRect a = area();
  return a.left() + static_cast<int>(std::lround(scaleX(x) * a.width()));
}

QString Plot::readOut(double x) const {
  QString text = (logX_ ? QString::number(x, 'f', x < 100 ? 1 : 0) : QString::number(x, 'f', 3)) + ' ' + xUnit_;
  for (const Series& s : series_) {
    if (s.x.empty()) continue;
    // The nearest point (in the axis's own measure).
    std::size_t best = 0;
    for (std::size_t i = 1; i < s.x.size(); ++i)
      if (std::abs(scaleX(s.x[i]) - scaleX(x)) < std::abs(scaleX(s.x[best]) - scaleX(x))) best = i;
    const double y = s.y[best];
    text += QStringLiteral(";  ") + (s.name.isEmpty() ? QString() : s.name + QStringLiteral(" ")) +
            (std::isnan(y) ? QStringLiteral("none") : QString::number(y, 'f', 2) + ' ' + yUnit_);
  }
  return text;
}

void Plot::mousePressEvent(QMouseEvent* event) {
  const int px = static_cast<int>(event->position().x());
  if (!area().contains(px, area().center().y())) return;
  readOutPixel_ = px;
  readOut_ = readOut(xAt(px));
  update();
}

void Plot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  p.setRenderHint(QPainter::Antialiasing);
  const QRect a = area();
  double x0, x1, y0, y1;
  ranges(x0, x1, y0, y1);
  auto px = [&](double x) { return a.left() + scaleX(x) * a.width(); };
  auto py = [&](double y) { return a.bottom() - (y - y0) / (y1 - y0) * a.height(); };

  // Grid: decades (1, 2, 5 of each) on a log axis, about five steps else.
  p.setPen(QPen(palette().mid().color(), 1));
  QFont small = font();
  small.setPixelSize(10);
  p.setFont(small);
  if (logX_) {
    for (double decade = std::pow(10.0, std::floor(std::log10(x0))); decade <= x1; decade *= 10)
      for (double m : {1.0, 2.0, 5.0}) {
        const double x = decade * m;
        if (x < x0 || x > x1) continue;
        p.drawLine(QPointF(px(x), a.top()), QPointF(px(x), a.bottom()));
        p.drawText(QPointF(px(x) - 10, a.bottom() + 14), Tick(x, true));
      }
  } else {
    const double step = std::pow(10.0, std::floor(std::log10((x1 - x0) / 5)));
    for (double x = std::ceil(x0 / step) * step; x <= x1; x += step) {
      p.drawLine(QPointF(px(x), a.top()), QPointF(px(x), a.bottom()));
      p.drawText(QPointF(px(x) - 10, a.bottom() + 14), Tick(x, false));
    }
  }
  const double ystep = [&] {
    const double raw = (y1 - y0) / 5, base = std::pow(10.0, std::floor(std::log10(raw)));
    return raw / base > 5 ? 10 * base : raw / base > 2 ? 5 * base : raw / base > 1 ? 2 * base : base;
  }();
  for (double y = std::ceil(y0 / ystep) * ystep; y <= y1; y += ystep) {
    p.drawLine(QPointF(a.left(), py(y)), QPointF(a.right(), py(y)));
    p.drawText(QRectF(0, py(y) - 7, kLeft - 4, 14), Qt::AlignRight | Qt::AlignVCenter, Tick(y, false));
  }
  p.setPen(palette().text().color());
  p.drawRect(a);
  const QString title = title_ + QStringLiteral(" (") + yUnit_ + QStringLiteral(")");
  p.drawText(QRectF(a.left(), 2, a.width(), kTop - 4), Qt::AlignLeft | Qt::AlignVCenter, title);
  // The series' names, each in its colour, after the title.
  double legend = a.left() + p.fontMetrics().horizontalAdvance(title) + 12;
  for (const Series& s : series_) {
    if (s.name.isEmpty() || readOutPixel_ >= 0) continue;
    p.setPen(s.colour);
    p.drawText(QPointF(legend, kTop - 7), s.name);
    legend += p.fontMetrics().horizontalAdvance(s.name) + 8;
  }
  p.setPen(palette().text().color());

  p.setClipRect(a);
  for (const Series& s : series_) {
    QPainterPath path;
    bool open = false;
    for (std::size_t i = 0; i < s.x.size(); ++i) {
      if (std::isnan(s.y[i])) {
        open = false;
        continue;
      }
      const QPointF point(px(s.x[i]), py(std::clamp(s.y[i], y0 - (y1 - y0), y1 + (y1 - y0))));
      if (open)
        path.lineTo(point);
      else
        path.moveTo(point);
      open = true;
    }
    p.setPen(QPen(s.colour, 1.5));
    p.drawPath(path);
  }
  p.setClipping(false);
  if (readOutPixel_ >= 0) {
    p.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
    p.drawLine(readOutPixel_, a.top(), readOutPixel_, a.bottom());
    p.setPen(palette().text().color());
    p.drawText(QRectF(a.left(), 2, a.width(), kTop - 4), Qt::AlignRight | Qt::AlignVCenter, readOut_);
  }
}

}  // namespace app
