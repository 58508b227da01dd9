// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/PlotAxes.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

namespace {

constexpr double kLeft = 66, kRight = 18, kTop = 30, kBottom = 46;

// A 1-2-5 step that gives about `wanted` intervals over span.
double niceStep(double span, int wanted) {
  const double raw = span / wanted;
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * decade) return m * decade;
  return 10 * decade;
}

QString number(double v) {
  // Labels of grid lines: no trailing zeros, a true minus sign.
  QString s = QString::number(v, 'g', 6);
  if (s.startsWith('-')) s.replace(0, 1, QChar(0x2212));
  return s;
}

}  // namespace

QRectF plotRect(QSize size) { return plotRect(size, 0); }

QRectF plotRect(QSize size, double footer) {
  const double w = std::max(1.0, size.width() - kLeft - kRight);
  const double h = std::max(1.0, size.height() - kTop - kBottom - footer);
  return {kLeft, kTop, w, h};
}

double amplitudeToY(double v, const QRectF& plot) { return plot.top() + (1.0 - v) * 0.5 * plot.height(); }
double yToAmplitude(double y, const QRectF& plot) { return 1.0 - 2.0 * (y - plot.top()) / plot.height(); }

std::vector<Tick> AmplitudeAxis::ticks() const {
  // About eight major steps over the height, five minor ones in each.
  const double major = niceStep(2 / zoom, 8);
  const double minor = major / 5;
  const int n = int(std::floor(1 / zoom / minor + 1e-9));
  std::vector<Tick> t;
  for (int i = -n; i <= n; ++i) {
    const double v = i * minor;
    const bool isMajor = i % 5 == 0;
    t.push_back({v, isMajor, isMajor ? number(v) : QString()});
  }
  return t;
}

std::vector<Tick> AmplitudeAxis::dbfsTicks() const {
  std::vector<Tick> t;
  for (const Tick& m : ticks())
    if (m.major && m.value != 0)
      t.push_back(
          {m.value, true, number(std::round(20 * std::log10(std::fabs(m.value)) * 10) / 10) + QStringLiteral(" dBFS")});
  return t;
}

double timeToX(double ms, double spanMs, const QRectF& plot) { return plot.left() + ms / spanMs * plot.width(); }
double xToTime(double x, double spanMs, const QRectF& plot) { return (x - plot.left()) / plot.width() * spanMs; }

QString timeUnit(double spanMs) { return spanMs >= 1000 ? QStringLiteral("s") : QStringLiteral("ms"); }

QString timeText(double ms, double spanMs, double pixels) {
  const double perUnit = spanMs >= 1000 ? 1000 : 1;
  const int decimals = std::clamp(int(std::ceil(-std::log10(spanMs / perUnit / std::max(pixels, 1.0)))), 0, 6);
  QString s = QString::number(ms / perUnit, 'f', decimals);
  if (s.startsWith('-')) s.replace(0, 1, QChar(0x2212));
  return s + ' ' + timeUnit(spanMs);
}

std::vector<Tick> timeTicks(double spanMs) {
  std::vector<Tick> t;
  const double step = niceStep(spanMs, 8);
  const double perUnit = spanMs >= 1000 ? 1000 : 1;
  for (int i = 0; i * step <= spanMs * (1 + 1e-9); ++i) t.push_back({i * step, true, number(i * step / perUnit)});
  for (int i = 0; (i + 0.5) * step < spanMs; ++i) t.push_back({(i + 0.5) * step, false, {}});
  return t;
}

double LevelAxis::toY(double db, const QRectF& plot) const {
  return plot.top() + (topDb - db) / (topDb - bottomDb) * plot.height();
}
double LevelAxis::fromY(double y, const QRectF& plot) const {
  return topDb - (y - plot.top()) / plot.height() * (topDb - bottomDb);
}

std::vector<Tick> LevelAxis::ticks() const {
  // About seven labelled steps over the span, a minor line half-way.
  const double step = niceStep(topDb - bottomDb, 7);
  std::vector<Tick> t;
  for (double v = std::ceil(bottomDb / step - 1e-9) * step; v <= topDb + 1e-9 * step; v += step) {
    t.push_back({v, true, number(std::abs(v) < 1e-9 * step ? 0.0 : v)});
    if (v + step / 2 < topDb) t.push_back({v + step / 2, false, {}});
  }
  if (!t.empty() && t.front().value - step / 2 > bottomDb) t.push_back({t.front().value - step / 2, false, {}});
  return t;
}

double FrequencyAxis::toX(double hz, const QRectF& plot) const {
  if (!log) return plot.left() + hz / maxHz * plot.width();
  if (hz <= 0) return plot.left() - plot.width();  // off the plot; clipped
  return plot.left() + std::log(hz / kLogLowHz) / std::log(maxHz / kLogLowHz) * plot.width();
}

double FrequencyAxis::fromX(double x, const QRectF& plot) const {
  const double f = (x - plot.left()) / plot.width();
  return log ? kLogLowHz * std::pow(maxHz / kLogLowHz, f) : f * maxHz;
}

std::vector<Tick> FrequencyAxis::ticks() const {
  std::vector<Tick> t;
  auto label = [](double hz) { return hz >= 1000 ? number(hz / 1000) + QStringLiteral("k") : number(hz); };
  if (!log) {
    const double step = niceStep(maxHz, 10);
    for (int i = 0; i * step <= maxHz * (1 + 1e-9); ++i) t.push_back({i * step, true, label(i * step)});
    for (int i = 0; (i + 0.5) * step < maxHz; ++i) t.push_back({(i + 0.5) * step, false, {}});
    return t;
  }
  for (double decade = 10; decade <= maxHz; decade *= 10)
    for (int m = 1; m <= 9; ++m) {
      const double hz = m * decade;
      if (hz < kLogLowHz || hz > maxHz) continue;
      const bool labelled = m == 1 || m == 2 || m == 5;
      t.push_back({hz, m == 1, labelled ? label(hz) : QString()});
    }
  return t;
}

QString frequencyText(double hz) {
  return hz >= 1000 ? QString::number(hz / 1000, 'f', 3) + QStringLiteral(" kHz")
                    : QString::number(hz, 'f', 1) + QStringLiteral(" Hz");
}

QString levelText(double db) {
  QString s = QString::number(db, 'f', 1);
  if (s.startsWith('-')) s.replace(0, 1, QChar(0x2212));
  return s + QStringLiteral(" dB");
}

}  // namespace quorvel::display
