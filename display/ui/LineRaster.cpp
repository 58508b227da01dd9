// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/LineRaster.h"

#include "display/ui/DirectPixels.h"
#include "display/ui/PlotBackground.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace quorvel::display {

namespace {

uint32_t premultiplied(const QColor& c) { return qPremultiply(c.rgba()); }

// Draws through fn(target), into the painter's image or, where that cannot
// be written, into an image of the clip's size drawn through the painter.
template <class Fn>
void paintPixels(QPainter& p, const QRectF& clip, PlotBackground* background, Fn&& fn) {
  if (clip.isEmpty()) return;
  if (auto direct = directPixels(p, clip)) {
    if (!direct->clip.isEmpty()) fn(*direct, background);
    return;
  }
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  QImage scratch((clip.size() * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
  scratch.fill(Qt::transparent);
  const QTransform t = QTransform::fromScale(dpr, dpr).translate(-clip.left(), -clip.top());
  fn(DirectPixels{&scratch, t, scratch.rect()}, nullptr);
  scratch.setDevicePixelRatio(dpr);
  p.drawImage(clip.topLeft(), scratch);
  if (background) background->cover(p, clip);
}

}  // namespace

void LineRaster::reset(const QRect& clip) {
  clip_ = clip;
  pitch_ = size_t(clip.width()) + 2 * kPad;
  const size_t area = pitch_ * (size_t(clip.height()) + 2 * kPad);
  if (cover_.size() < area) cover_.assign(area, 0);
  first_.assign(pitch_, INT_MAX);
  last_.assign(pitch_, INT_MIN);
}

namespace {

// floor for the coordinates of a picture (beyond -1000 pixels), without a
// call into the maths library.
inline int floorOf(double v) { return int(v + 1024.0) - 1024; }

inline void cover(uint8_t& c, double share) {
  const auto v = uint8_t(share * 255 + 0.5);
  if (v > c) c = v;
}

}  // namespace

uint8_t* LineRaster::at(int column, int row) {
  return cover_.data() + size_t(row + kPad) * pitch_ + size_t(column + kPad);
}

void LineRaster::touch(int column, int firstRow, int lastRow) {
  const size_t k = size_t(column + kPad);
  first_[k] = std::min(first_[k], firstRow);
  last_[k] = std::max(last_[k], lastRow);
}

// Pixel (i, j) has its centre at (i + 0.5, j + 0.5). The segment is
// sampled at every pixel centre along its longer axis (u) that it spans,
// its centre across it (v) shared between the two pixels it falls between.
void LineRaster::segment(QPointF a, QPointF b) {
  if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y())) return;
  const bool steep = std::fabs(b.y() - a.y()) > std::fabs(b.x() - a.x());
  // In the clip's own pixels.
  a -= clip_.topLeft();
  b -= clip_.topLeft();
  double ua = steep ? a.y() : a.x(), ub = steep ? b.y() : b.x();
  double va = steep ? a.x() : a.y(), vb = steep ? b.x() : b.y();
  if (ub < ua) {
    std::swap(ua, ub);
    std::swap(va, vb);
  }
  const int sizeU = steep ? clip_.height() : clip_.width(), sizeV = steep ? clip_.width() : clip_.height();
  const double slope = ub > ua ? (vb - va) / (ub - ua) : 0;
  int from = floorOf(std::clamp(ua, -1.0, double(sizeU)) + 0.5);
  int to = floorOf(std::clamp(ub, -1.0, double(sizeU)) - 0.5);
  double centre = va + (from + 0.5 - ua) * slope - 0.5;
  if (from > to) {
    // It spans no pixel centre: its neighbours in the polyline cover the
    // centres around it; a lone point is one step.
    if (a != b) return;
    from = to = floorOf(std::clamp(ua, -1.0, double(sizeU)));
    centre = va - 0.5;
  }
  if (from < 0) {
    centre -= from * slope;
    from = 0;
  }
  to = std::min(to, sizeU - 1);
  // Across the segment, the centre is held within the padding, so that
  // both of its pixels are in the buffer.
  const double lowest = -2, highest = sizeV + 1;
  if (steep) {
    // Row by row; the columns' touched rows are noted once per run of
    // rows in the same pair of columns.
    int run = INT_MIN, runFrom = from;
    for (int i = from; i <= to; ++i, centre += slope) {
      const double c = std::clamp(centre, lowest, highest);
      const int j = floorOf(c);
      const double f = c - j;
      uint8_t* pixel = at(j, i);
      cover(pixel[0], 1 - f);
      cover(pixel[1], f);
      if (j != run) {
        if (run != INT_MIN) {
          touch(run, runFrom, i - 1);
          touch(run + 1, runFrom, i - 1);
        }
        run = j;
        runFrom = i;
      }
    }
    if (run != INT_MIN) {
      touch(run, runFrom, to);
      touch(run + 1, runFrom, to);
    }
  } else {
    for (int i = from; i <= to; ++i, centre += slope) {
      const double c = std::clamp(centre, lowest, highest);
      const int j = floorOf(c);
      const double f = c - j;
      uint8_t* pixel = at(i, j);
      cover(pixel[0], 1 - f);
      cover(pixel[pitch_], f);
      touch(i, j, j + 1);
    }
  }
}

void LineRaster::blend(QImage& img, uint32_t src, std::optional<uint32_t> halo, PlotBackground* background) {
  // The colours at every coverage, worked out once per line.
  std::array<uint32_t, 256> line{}, faint{};
  for (uint32_t c = 0; c < 256; ++c) {
    line[c] = byteMul(src, c);
    if (halo) faint[c] = byteMul(*halo, c);
  }
  uint32_t* px = pixelsOf(img);
  const qsizetype stride = strideOf(img);
  const int width = clip_.width(), height = clip_.height();
  for (int column = -kPad; column < width + kPad; ++column) {
    const int first = first_[size_t(column + kPad)], last = last_[size_t(column + kPad)];
    if (first > last) continue;
    // The rows of the picture: the padding is only cleared.
    const int top = std::max(first, 0), bottom = std::min(last, height - 1);
    if (column >= 0 && column < width && top <= bottom) {
      // The halo reaches one row lower.
      if (background) background->coverColumn(clip_.left() + column, clip_.top() + top, clip_.top() + bottom + 1);
      uint8_t* c = at(column, top);
      uint32_t* pixel = px + (clip_.top() + top) * qsizetype(stride) + clip_.left() + column;
      // The halo shows under the line's lower edges only: in a pixel the
      // line leaves uncovered, below one it covers.
      uint8_t above = 0;
      const int end = halo ? std::min(bottom + 1, height - 1) : bottom;
      for (int y = top; y <= end; ++y, c += pitch_, pixel += stride) {
        const uint8_t share = y <= bottom ? *c : 0;
        if (share) {
          *pixel = over(*pixel, line[share]);
          *c = 0;
        } else if (above && halo) {
          *pixel = over(*pixel, faint[above]);
        }
        above = share;
      }
      if (first == top && last == bottom) continue;
    }
    uint8_t* c = at(column, first);
    for (int y = first; y <= last; ++y, c += pitch_) *c = 0;
  }
}

void LineRaster::drawLine(QPainter& p, const QPolygonF& line, const QRectF& clip, const QColor& colour, bool halo) {
  if (line.isEmpty()) return;
  paintPixels(p, clip, background_, [&](const DirectPixels& t, PlotBackground* background) {
    reset(t.clip);
    const QPolygonF pixels = t.toPixels.map(line);
    if (pixels.size() == 1) segment(pixels[0], pixels[0]);
    for (qsizetype i = 0; i + 1 < pixels.size(); ++i) segment(pixels[i], pixels[i + 1]);
    QColor faint = colour;
    faint.setAlpha(colour.alpha() * 70 / 255);
    blend(*t.image, premultiplied(colour), halo ? std::optional(premultiplied(faint)) : std::nullopt, background);
  });
}

void LineRaster::fillUnder(QPainter& p, const QPolygonF& line, const QRectF& pane, const QColor& top,
                           const QColor& bottom) {
  paintPixels(p, pane, background_, [&](const DirectPixels& t, PlotBackground* background) {
    // The line's highest point in each column.
    const int x0 = t.clip.left();
    std::vector<float> highest(size_t(t.clip.width()), INFINITY);
    const QPolygonF pixels = t.toPixels.map(line);
    auto reach = [&](int column, double y) {
      if (column >= x0 && column < x0 + t.clip.width())
        highest[size_t(column - x0)] = std::min(highest[size_t(column - x0)], float(y));
    };
    if (pixels.size() == 1) reach(int(std::floor(pixels[0].x())), pixels[0].y());
    for (qsizetype i = 0; i + 1 < pixels.size(); ++i) {
      QPointF a = pixels[i], b = pixels[i + 1];
      if (b.x() < a.x()) std::swap(a, b);
      const double dx = b.x() - a.x(), slope = dx > 0 ? (b.y() - a.y()) / dx : 0;
      for (int c = std::max(x0, int(std::floor(a.x()))); c <= std::min(t.clip.right(), int(std::floor(b.x()))); ++c) {
        // The part of the segment inside the column: its higher end.
        const double left = std::max(a.x(), double(c)), right = std::min(b.x(), double(c + 1));
        reach(c, std::min(a.y() + (left - a.x()) * slope, a.y() + (right - a.x()) * slope));
      }
    }
    // The gradient's colour for each row.
    const QRectF area = t.toPixels.mapRect(pane);
    std::vector<uint32_t> rows(size_t(t.clip.height()));
    for (size_t r = 0; r < rows.size(); ++r) {
      const double f = std::clamp((t.clip.top() + double(r) + 0.5 - area.top()) / area.height(), 0.0, 1.0);
      auto mix = [f](int a, int b) { return int(std::lround(a + (b - a) * f)); };
      rows[r] = premultiplied(QColor(mix(top.red(), bottom.red()), mix(top.green(), bottom.green()),
                                     mix(top.blue(), bottom.blue()), mix(top.alpha(), bottom.alpha())));
    }
    std::vector<int> tops(highest.size());
    for (size_t i = 0; i < highest.size(); ++i)
      tops[i] = std::isfinite(highest[i]) ? std::max(t.clip.top(), floorOf(highest[i] + 0.5)) : t.clip.bottom() + 1;
    if (background)
      background->fill(*t.image, t.clip, rows, tops);
    else
      fillColumns(*t.image, t.clip, rows, tops);
  });
}

}  // namespace quorvel::display
