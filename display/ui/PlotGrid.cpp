// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/PlotGrid.h"

#include "display/ui/Painting.h"
#include "display/ui/Palette.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <sys/mman.h>

#include <algorithm>
#include <cmath>

namespace quorvel::display {

namespace {

// Memory mapped for one image, given back to the system when it goes: freed
// into the heap, a block of an image's size stays resident, and the still's
// compactness would be lost to the image it was made from. Null where it
// could not be mapped.
class MappedPixels {
 public:
  explicit MappedPixels(size_t bytes) : bytes_(bytes) {
    void* m = bytes > 0 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) : MAP_FAILED;
    data_ = m == MAP_FAILED ? nullptr : static_cast<uchar*>(m);
  }
  ~MappedPixels() {
    if (data_ != nullptr) munmap(data_, bytes_);
  }
  MappedPixels(const MappedPixels&) = delete;
  MappedPixels& operator=(const MappedPixels&) = delete;
  uchar* data() const { return data_; }

 private:
  size_t bytes_;
  uchar* data_;
};

}  // namespace

const StillImage& PlotGrid::still(QSize size, qreal dpr, const GridLayout& layout) {
  const QSize pixels = (QSizeF(size) * dpr).toSize();
  if (still_.size() != pixels || still_.devicePixelRatio() != dpr || !(layout_ == layout)) {
    // Opaque, so that drawing it is a copy of its lines, not a blend.
    const MappedPixels memory(size_t(pixels.width()) * size_t(pixels.height()) * sizeof(uint32_t));
    QImage image =
        memory.data() ? QImage(memory.data(), pixels.width(), pixels.height(), pixels.width() * 4, QImage::Format_RGB32)
                      : QImage(pixels, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    layout_ = layout;
    draw(image, layout);
    still_ = StillImage(image);
  }
  return still_;
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

  boxes_.clear();
  const QFont font = uiFont();
  const QFontMetricsF metrics(font);
  p.setFont(font);
  p.setPen(palette::label);
  const double labelTop = plot.bottom() + 4;
  // The turned title keeps a column of its own at the left edge; the
  // amplitude labels end clear of the level marker at the axis.
  const double titleColumn = metrics.height() + 2;
  const double labelRight = plot.left() - 10;
  double lastRight = -1e9;
  for (const GridLayout::Line& t : layout.x) {
    if (t.label.isEmpty() || t.pos < plot.left() - 0.5 || t.pos > plot.right() + 0.5) continue;
    // Labels at the plot's edges are pulled inside so they are not cut off.
    const double w = metrics.horizontalAdvance(t.label);
    double left = t.pos - w / 2;
    if (t.pos - plot.left() < 12) left = t.pos - 2;
    if (plot.right() - t.pos < 20) left = t.pos + 2 - w;
    if (left < lastRight + 6) continue;  // it would touch the one before
    const QRectF box(left, labelTop, w, metrics.height());
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop, t.label);
    boxes_.push_back({QStringLiteral("x label ") + t.label, box});
    lastRight = box.right();
  }
  std::vector<QRectF> placedY;
  for (const GridLayout::Line& t : layout.y) {
    if (t.label.isEmpty() || t.pos < plot.top() - 0.5 || t.pos > plot.bottom() + 0.5) continue;
    const double w = metrics.horizontalAdvance(t.label);
    QRectF box(labelRight - w, t.pos - metrics.height() / 2, w, metrics.height());
    // The bottom edge's label stays clear of the time axis's labels and unit.
    if (box.bottom() > labelTop - 1) box.moveBottom(labelTop - 1);
    const QRectF spaced = box.adjusted(0, -1, 0, 1);
    if (box.left() < titleColumn ||
        std::any_of(placedY.begin(), placedY.end(), [&](const QRectF& r) { return r.intersects(spaced); }))
      continue;
    p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, t.label);
    boxes_.push_back({QStringLiteral("y label ") + t.label, box});
    placedY.push_back(box);
  }
  p.setPen(palette::dimText);
  for (const GridLayout::Line& t : layout.yRight) {
    if (t.pos < plot.top() - 0.5 || t.pos > plot.bottom() + 0.5) continue;
    // Just above its line; below it where the plot's top edge is too close.
    const double top = t.pos - plot.top() < 14 ? t.pos + 2 : t.pos - 13;
    const double w = metrics.horizontalAdvance(t.label);
    const QRectF box(plot.right() - 4 - w, top, w, 12);
    p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, t.label);
    boxes_.push_back({QStringLiteral("right label ") + t.label, box});
  }
  if (!layout.xUnit.isEmpty()) {
    const double w = metrics.horizontalAdvance(layout.xUnit);
    const QRectF box(plot.left() - 6 - w, labelTop, w, metrics.height());
    p.drawText(box, Qt::AlignRight | Qt::AlignTop, layout.xUnit);
    boxes_.push_back({QStringLiteral("x unit"), box});
  }
  const double titleWidth = metrics.horizontalAdvance(layout.yTitle);
  if (!layout.yTitle.isEmpty() && titleWidth <= plot.height()) {
    p.save();
    p.translate(titleColumn / 2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-titleWidth / 2, -metrics.height() / 2, titleWidth, metrics.height()), Qt::AlignCenter,
               layout.yTitle);
    p.restore();
    boxes_.push_back(
        {QStringLiteral("y title"), QRectF(0, plot.center().y() - titleWidth / 2, titleColumn, titleWidth)});
  }
}

}  // namespace quorvel::display
