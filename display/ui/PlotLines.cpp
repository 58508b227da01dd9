// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/PlotLines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace quorvel::display {

namespace {

// Values far outside the axis are held just beyond the plot's edge: the clip
// cuts them there, and the painter never sees huge coordinates.
double clampY(double y, const QRectF& plot) { return std::clamp(y, plot.top() - 2, plot.bottom() + 2); }

}  // namespace

namespace {

// sin(pi x) / (pi x), windowed by its own stretch over kSincTaps points
// either side (Lanczos), which keeps the ringing of the cut-off small.
constexpr int kSincTaps = 16;
double windowedSinc(double x) {
  if (x == 0) return 1;
  if (std::fabs(x) >= kSincTaps) return 0;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px * std::sin(px / kSincTaps) / (px / kSincTaps);
}

}  // namespace

void traceLine(const dsp::TraceHistory& h, const Sweep& s, const AmplitudeAxis& axis, const QRectF& plot,
               QPolygonF& out, bool reconstruct) {
  out.clear();
  const double start = s.start, length = s.length;
  const int64_t held = std::max(h.begin(), s.from), end = std::min(h.end(), s.to);
  if (!(length > 0)) return;
  auto yOf = [&](double v) { return clampY(axis.toY(v, plot), plot); };
  const double pixelsPerPoint = plot.width() / length;
  if (reconstruct && pixelsPerPoint >= 1 && end - held >= 2) {
    // Two values per pixel, each from the points kSincTaps either side;
    // where the stretch ends, from those it holds, their weights made whole.
    const double firstX = std::max(plot.left(), plot.left() + (double(held) - start) * pixelsPerPoint);
    const double lastX = std::min(plot.right(), plot.left() + (double(end - 1) - start) * pixelsPerPoint);
    for (double x = firstX; x <= lastX + 1e-9; x += 0.5) {
      const double t = start + (x - plot.left()) / pixelsPerPoint;
      const int64_t k0 = int64_t(std::floor(t));
      double sum = 0, weights = 0;
      for (int64_t k = std::max(k0 - kSincTaps + 1, held); k <= std::min(k0 + kSincTaps, end - 1); ++k) {
        const double w = windowedSinc(t - double(k));
        sum += w * h.at(k);
        weights += w;
      }
      if (weights > 0) out.append(QPointF(x, yOf(sum / weights)));
    }
    return;
  }
  if (pixelsPerPoint * kTraceColumnPoints >= 1.0) {
    // From the point before the left edge to the one after the right edge;
    // the clip cuts the line at the edges.
    const int64_t first = std::max(int64_t(std::floor(start)), held);
    const int64_t last = std::min(int64_t(std::ceil(start + length)), end - 1);
    for (int64_t i = first; i <= last; ++i)
      out.append(QPointF(plot.left() + (double(i) - start) * pixelsPerPoint, yOf(h.at(i))));
    return;
  }
  // Many points per column: one vertical stroke from min to max each,
  // started at the end nearer to where the previous one ended, so that the
  // strokes join into a line (and into a solid band where a column holds
  // whole cycles).
  const int columns = std::max(1, int(plot.width()));
  const double pointsPerColumn = length / columns;
  const double columnWidth = plot.width() / columns;
  for (int c = 0; c < columns; ++c) {
    const int64_t from = std::max(int64_t(std::ceil(start + c * pointsPerColumn)), held);
    const int64_t to = std::min(int64_t(std::ceil(start + (c + 1) * pointsPerColumn)), end);
    float lo = std::numeric_limits<float>::infinity(), hi = -lo;
    h.forEachRun(from, to, [&](const float* v, size_t n, int64_t) {
      for (size_t k = 0; k < n; ++k) {
        lo = std::min(lo, v[k]);
        hi = std::max(hi, v[k]);
      }
    });
    if (lo > hi) continue;  // nothing held here
    const double x = plot.left() + (c + 0.5) * columnWidth;
    const double top = yOf(hi), bottom = yOf(lo);
    const bool downwards = out.isEmpty() || std::fabs(out.back().y() - top) <= std::fabs(out.back().y() - bottom);
    out.append(QPointF(x, downwards ? top : bottom));
    if (top != bottom) out.append(QPointF(x, downwards ? bottom : top));
  }
}

void spectrumLine(const std::vector<double>& levels, double binHz, const FrequencyAxis& axis, const LevelAxis& level,
                  const QRectF& plot, QPolygonF& out) {
  out.clear();
  auto yOf = [&](double db) { return std::isfinite(db) ? clampY(level.toY(db, plot), plot) : plot.bottom() + 2; };
  size_t k = 0;
  if (axis.log) {
    // Start with the last bin left of the axis, so the line reaches the edge.
    while (k + 1 < levels.size() && (k + 1) * binHz <= kLogLowHz) ++k;
    if (k == 0 && levels.size() > 1) k = 1;  // 0 Hz has no place on a logarithmic axis
  }
  int column = 0;
  bool open = false;
  for (; k < levels.size(); ++k) {
    const double hz = k * binHz;
    if (hz > axis.maxHz * (1 + 1e-9)) break;
    const QPointF pt(axis.toX(hz, plot), yOf(levels[k]));
    const int c = int(std::floor(pt.x()));
    if (open && c == column) {
      if (pt.y() < out.back().y()) out.back() = pt;  // the louder bin of this column
      continue;
    }
    out.append(pt);
    column = c;
    open = true;
  }
}

}  // namespace quorvel::display
