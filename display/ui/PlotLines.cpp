#include "display/ui/PlotLines.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

namespace {

// Values far outside the axis are held just beyond the plot's edge: the clip
// cuts them there, and the painter never sees huge coordinates.
double clampY(double y, const QRectF& plot) { return std::clamp(y, plot.top() - 2, plot.bottom() + 2); }

}  // namespace

void traceLine(const std::vector<double>& values, const QRectF& plot, QPolygonF& out) {
  out.clear();
  const size_t n = values.size();
  if (n == 0)
    return;
  const double step = n > 1 ? plot.width() / double(n - 1) : 0;
  auto yOf = [&](double v) { return clampY(std::isnan(v) ? amplitudeToY(0, plot) : amplitudeToY(v, plot), plot); };
  if (step >= 1.0) {
    for (size_t i = 0; i < n; ++i)
      out.append(QPointF(plot.left() + i * step, yOf(values[i])));
    return;
  }
  // Several points per column: one vertical stroke from min to max each.
  const int columns = std::max(1, int(plot.width()));
  size_t i = 0;
  for (int c = 0; c < columns && i < n; ++c) {
    const size_t end = c + 1 == columns ? n : size_t(double(c + 1) / columns * n);
    double lo = yOf(values[i]), hi = lo;
    for (++i; i < end; ++i) {
      const double y = yOf(values[i]);
      lo = std::min(lo, y);
      hi = std::max(hi, y);
    }
    const double x = plot.left() + (c + 0.5) * plot.width() / columns;
    out.append(QPointF(x, lo));
    if (hi != lo)
      out.append(QPointF(x, hi));
  }
}

void spectrumLine(const std::vector<double>& levels, double binHz, const FrequencyAxis& axis,
                  const LevelAxis& level, const QRectF& plot, QPolygonF& out) {
  out.clear();
  auto yOf = [&](double db) {
    return std::isfinite(db) ? clampY(level.toY(db, plot), plot) : plot.bottom() + 2;
  };
  size_t k = 0;
  if (axis.log) {
    // Start with the last bin left of the axis, so the line reaches the edge.
    while (k + 1 < levels.size() && (k + 1) * binHz <= kLogLowHz)
      ++k;
    if (k == 0 && levels.size() > 1)
      k = 1;  // 0 Hz has no place on a logarithmic axis
  }
  int column = 0;
  bool open = false;
  for (; k < levels.size(); ++k) {
    const double hz = k * binHz;
    if (hz > axis.maxHz * (1 + 1e-9))
      break;
    const QPointF pt(axis.toX(hz, plot), yOf(levels[k]));
    const int c = int(std::floor(pt.x()));
    if (open && c == column) {
      if (pt.y() < out.back().y())
        out.back() = pt;  // the louder bin of this column
      continue;
    }
    out.append(pt);
    column = c;
    open = true;
  }
}

}  // namespace quorvel::display
