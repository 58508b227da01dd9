// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The data lines of a scope picture, and the fill under a spectrum, written
// straight into the pixels of the image being painted.
//
// A line is drawn segment by segment as Xiaolin Wu's lines are: along the
// segment's longer axis, one step per pixel, its centre shared between the
// two pixels it falls between, so it is smooth in both directions. The
// coverage goes into a buffer first, where a pixel that several segments
// reach keeps the largest share, not their sum: a polyline of many short
// segments (a trace has several per pixel column) is then as even as one
// long line, and each pixel is blended once. Qt's antialiased stroker
// costs some ten times as much for the same polyline and was most of a
// scope's drawing.
//
// Where the painter's pixels can be written directly (DirectPixels), they
// are written there, inside the clip given, the painter's clip rectangle
// and the part of the window being repainted; elsewhere the line is drawn
// into an image of the clip's size and that is drawn through the painter.
// Each column a line or fill reaches is noted in the picture's background
// (PlotBackground), which puts back just those pixels under the next one.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPolygonF>
#include <QRect>
#include <QRectF>

#include <cstdint>
#include <optional>
#include <vector>

class QImage;

namespace quorvel::display {

class PlotBackground;

class LineRaster {
 public:
  // Where the lines and fills drawn from now on note what they cover.
  void noteCoverIn(PlotBackground* background) { background_ = background; }

  // A 1-pixel line through the points, clipped to clip. halo: a faint copy
  // one pixel lower, so that the line reads as about 1.5 pixels wide.
  void drawLine(QPainter& p, const QPolygonF& line, const QRectF& clip, const QColor& colour, bool halo = false);

  // Fills each pixel column of pane from the top of the line down to the
  // pane's bottom edge with a vertical gradient from top (at the pane's top
  // edge) to bottom.
  void fillUnder(QPainter& p, const QPolygonF& line, const QRectF& pane, const QColor& top, const QColor& bottom);

 private:
  // How much of each pixel of the clip the line covers, 0 ... 255, with
  // kPad pixels of padding around it (so that a step near an edge needs no
  // test); kept all zero between lines.
  static constexpr int kPad = 3;
  void reset(const QRect& clip);
  void segment(QPointF a, QPointF b);
  // In the clip's own pixels, (0, 0) at its top left.
  uint8_t* at(int column, int row);
  void touch(int column, int firstRow, int lastRow);
  // Blends the covered pixels (the halo's one lower first) and clears them.
  void blend(QImage& img, uint32_t src, std::optional<uint32_t> halo, PlotBackground* background);

  QRect clip_;
  size_t pitch_ = 0;
  std::vector<uint8_t> cover_;
  std::vector<int> first_, last_;  // rows touched in each column, padding included
  PlotBackground* background_ = nullptr;
};

}  // namespace quorvel::display
