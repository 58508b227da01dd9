// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The still part of a scope picture: background, plot frame, grid and axis
// labels. It changes only with the size and the axes, so it is drawn once
// into an image, kept compact (StillImage) and put under every frame. A
// label that would cover its neighbour on the axis is left out (its line
// stays).
#pragma once

#include "display/ui/PlotAxes.h"
#include "display/ui/ReadoutLine.h"
#include "display/ui/StillImage.h"

#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace quorvel::display {

struct GridLayout {
  struct Line {
    double pos;     // pixels from the picture's left (x) or top (y) edge
    bool major;     // drawn brighter
    QString label;  // drawn beside the axis when not empty
    bool operator==(const Line&) const = default;
  };
  std::vector<Line> x, y;
  std::vector<Line> yRight;     // labels only, in a second unit, inside the plot at its right edge
  std::optional<double> zeroY;  // a brighter horizontal line, such as a trace's zero
  QString xUnit;                // below the vertical axis's labels
  QString yTitle;               // turned, along the left edge
  double footer = 0;            // pixels kept free under the axis labels (plotRect)
  bool operator==(const GridLayout&) const = default;
};

// Ticks placed on the plot by the axis's own mapping.
template <class ToPixel>
std::vector<GridLayout::Line> placed(const std::vector<Tick>& ticks, ToPixel toPixel) {
  std::vector<GridLayout::Line> lines;
  lines.reserve(ticks.size());
  for (const Tick& t : ticks) lines.push_back({toPixel(t.value), t.major, t.label});
  return lines;
}

class PlotGrid {
 public:
  // The cached picture for this layout, redrawn when the size or the layout changed.
  const StillImage& still(QSize size, qreal dpr, const GridLayout& layout);
  // As above, for the layout make() returns, which is asked for only when
  // key (every number the layout is made from) or the size changed: a
  // layout's ticks and labels cost more to make than the picture they
  // would be compared with (a scope's grid layout made with every picture
  // was 2 % of its drawing).
  template <class Make>
  const StillImage& still(QSize size, qreal dpr, std::vector<double> key, Make&& make) {
    if (key != key_ || still_.size() != (QSizeF(size) * dpr).toSize() || still_.devicePixelRatio() != dpr) {
      key_ = std::move(key);
      return still(size, dpr, make());
    }
    return still_;
  }
  // Where the image's labels are.
  const std::vector<TextBox>& boxes() const { return boxes_; }

 private:
  void draw(QImage& img, const GridLayout& layout);

  StillImage still_;
  GridLayout layout_;
  std::vector<double> key_;
  std::vector<TextBox> boxes_;
};

}  // namespace quorvel::display
