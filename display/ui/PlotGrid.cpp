// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/PlotGrid.h"

#include "display/ui/Painting.h"
#include "display/ui/Palette.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace quorvel::display {

const QImage& PlotGrid::image(QSize size, qreal dpr, const GridLayout& layout) {
  const QSize pixels = (QSizeF(size) * dpr).toSize();
  if (image_.size() != pixels || image_.devicePixelRatio() != dpr || !(layout_ == layout)) {
    image_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(dpr);
    layout_ = layout;
    draw(image_, layout);
  }
  return image_;
}

void PlotGrid::draw(QImage& img, const GridLayout& layout) {
  const QSize size = (QSizeF(img.size()) / img.devicePixelRatio()).toSize();
  const QRectF plot = plotRect(size, layout.footer);
  QPainter p(&img);
  p.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), palette::window);
  QLinearGradient shade(plot.topLeft(), plot.bottomLeft());
  shade.setColorAt(0, palette::plotTop);
  shade.setColorAt(1, palette::plotBottom);
  p.fillRect(plot, shade);

  // Minor lines first, so major ones stay on top where they cross.
  for (bool major : {false, true}) {
    p.setPen(QPen(major ? palette::gridMajor : palette::gridMinor, 1));
    for (const GridLayout::Line& t : layout.x)
      if (t.major == major && t.pos >= plot.left() - 0.5 && t.pos <= plot.right() + 0.5) {
        const double x = std::round(t.pos) + 0.5;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
      }
    for (const GridLayout::Line& t : layout.y)
      if (t.major == major && t.pos >= plot.top() - 0.5 && t.pos <= plot.bottom() + 0.5) {
        const double y = std::round(t.pos) + 0.5;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
      }
  }
  if (layout.zeroY) {
    p.setPen(QPen(palette::gridZero, 1));
    const double y = std::round(*layout.zeroY) + 0.5;
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
  p.setPen(QPen(palette::frame, 1));
  p.drawRect(plot.adjusted(-0.5, -0.5, 0.5, 0.5));

  const QFont font = uiFont();
  p.setFont(font);
  p.setPen(palette::label);
  const double labelTop = plot.bottom() + 4;
  for (const GridLayout::Line& t : layout.x) {
    if (t.label.isEmpty() || t.pos < plot.left() - 0.5 || t.pos > plot.right() + 0.5) continue;
    // Labels at the plot's edges are pulled inside so they are not cut off.
    Qt::Alignment align = Qt::AlignHCenter;
    QRectF box(t.pos - 40, labelTop, 80, 14);
    if (t.pos - plot.left() < 12) {
      box.moveLeft(t.pos - 2);
      align = Qt::AlignLeft;
    } else if (plot.right() - t.pos < 20) {
      box.moveRight(t.pos + 2);
      align = Qt::AlignRight;
    }
    p.drawText(box, align | Qt::AlignTop, t.label);
  }
  for (const GridLayout::Line& t : layout.y) {
    if (t.label.isEmpty() || t.pos < plot.top() - 0.5 || t.pos > plot.bottom() + 0.5) continue;
    p.drawText(QRectF(0, t.pos - 7, plot.left() - 6, 14), Qt::AlignRight | Qt::AlignVCenter, t.label);
  }
  p.setPen(palette::dimText);
  for (const GridLayout::Line& t : layout.yRight) {
    if (t.pos < plot.top() - 0.5 || t.pos > plot.bottom() + 0.5) continue;
    // Just above its line; below it where the plot's top edge is too close.
    const double top = t.pos - plot.top() < 14 ? t.pos + 2 : t.pos - 13;
    p.drawText(QRectF(plot.right() - 124, top, 120, 12), Qt::AlignRight | Qt::AlignVCenter, t.label);
  }
  p.drawText(QRectF(0, labelTop, plot.left() - 6, 14), Qt::AlignRight | Qt::AlignTop, layout.xUnit);

  const double readoutBaseline = plot.top() - 10;
  const QFont bold = uiFont(true);
  p.setFont(bold);
  p.setPen(palette::text);
  p.drawText(QPointF(plot.left(), readoutBaseline), layout.title);
  const double aboutX = plot.left() + QFontMetricsF(bold).horizontalAdvance(layout.title) + 14;
  p.setFont(font);
  p.setPen(palette::dimText);
  p.drawText(QPointF(aboutX, readoutBaseline), layout.about);
  p.drawText(QPointF(plot.left(), size.height() - 9), layout.hints);

  p.save();
  p.translate(12, plot.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-80, -7, 160, 14), Qt::AlignCenter, layout.yTitle);
  p.restore();
}

}  // namespace quorvel::display
