// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/SpectrogramImage.h"

#include "dsp/ColourMap.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

QRgb SpectrogramImage::colour(double t) { return dsp::levelColour(t); }

int SpectrogramImage::newestRow() const {
  return drawn_ == 0 ? 0 : geometry_.rows - 1 - int((drawn_ - 1) % uint64_t(geometry_.rows));
}

void SpectrogramImage::paint(QPainter& p, const QRectF& pane, const dsp::FrameHistory& history,
                             const FrequencyAxis& axis, double binHz, const LevelRange& range) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  Geometry g;
  g.columns = std::max(1, int(std::lround(pane.width() * dpr)));
  g.rows = history.capacity();
  g.bins = history.bins();
  g.maxHz = axis.maxHz;
  g.binHz = binHz;
  g.log = axis.log;
  g.range = range;
  g.clears = history.clears();
  // Frames come in order; more new ones than the ring holds, a shrunk
  // history, or a new geometry mean drawing every row again.
  if (!(g == geometry_) || history.serial() < drawn_ || history.serial() - drawn_ > uint64_t(g.rows)) {
    rebuild(g, axis, pane);
    drawn_ = history.serial() - uint64_t(history.size());
  }
  for (; drawn_ < history.serial(); ++drawn_) drawFrame(history.row(int(history.serial() - 1 - drawn_)), drawn_);

  // Rows from the newest down to the bottom of the ring, then from its top.
  const int top = newestRow();
  const double split = std::round(pane.top() + pane.height() * (g.rows - top) / g.rows);
  const QRectF upper(pane.left(), pane.top(), pane.width(), split - pane.top());
  const QRectF lower(pane.left(), split, pane.width(), pane.bottom() - split);
  p.drawImage(upper, ring_, QRectF(0, top, g.columns, g.rows - top));
  if (top > 0) p.drawImage(lower, ring_, QRectF(0, 0, g.columns, top));
}

void SpectrogramImage::rebuild(const Geometry& g, const FrequencyAxis& axis, const QRectF& pane) {
  geometry_ = g;
  ring_ = QImage(g.columns, g.rows, QImage::Format_RGB32);
  ring_.fill(colour(0));
  // Column c covers the frequencies from its left to its right edge; it
  // shows the bins whose centres lie there, or the nearest bin where it is
  // narrower than a bin.
  const QRectF plot(pane.left(), pane.top(), pane.width(), 1);
  auto hzAt = [&](int c) { return axis.fromX(pane.left() + pane.width() * c / g.columns, plot); };
  columnBins_.resize(size_t(g.columns));
  for (int c = 0; c < g.columns; ++c) {
    const double from = hzAt(c) / g.binHz, to = hzAt(c + 1) / g.binHz;
    int first = int(std::ceil(from)), last = int(std::ceil(to)) - 1;
    if (first > last) first = last = int(std::lround((from + to) / 2));
    columnBins_[size_t(c)] = {std::clamp(first, 0, g.bins - 1), std::clamp(last, 0, g.bins - 1)};
  }
}

void SpectrogramImage::drawFrame(const float* powers, uint64_t frame) {
  const int row = geometry_.rows - 1 - int(frame % uint64_t(geometry_.rows));
  auto* line = reinterpret_cast<QRgb*>(ring_.scanLine(row));
  const double bottom = geometry_.range.bottomDb(), span = geometry_.range.spanDb;
  for (size_t c = 0; c < columnBins_.size(); ++c) {
    float loudest = 0;
    for (int k = columnBins_[c].first; k <= columnBins_[c].second; ++k) loudest = std::max(loudest, powers[k]);
    line[c] = colour((dsp::powerDb(loudest) - bottom) / span);
  }
}

}  // namespace quorvel::display
