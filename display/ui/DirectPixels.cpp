// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/DirectPixels.h"

#include <QPaintEngine>
#include <QRegion>

namespace quorvel::display {

std::optional<DirectPixels> directPixels(QPainter& p, const QRectF& clip) {
  QPaintEngine* engine = p.paintEngine();
  if (engine == nullptr || engine->type() != QPaintEngine::Raster) return std::nullopt;
  QPaintDevice* device = engine->paintDevice();
  if (device == nullptr || device->devType() != QInternal::Image) return std::nullopt;
  auto* image = static_cast<QImage*>(device);
  const QTransform t = p.deviceTransform();
  if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied)
    return std::nullopt;
  if (t.type() > QTransform::TxScale) return std::nullopt;
  QRect pixels = t.mapRect(clip).toAlignedRect() & image->rect();
  if (p.hasClipping()) pixels &= t.mapRect(p.clipBoundingRect()).toAlignedRect();
  // A window's paint event limits painting to the part being repainted.
  const QRegion system = engine->systemClip();
  if (!system.isEmpty()) {
    if (system.rectCount() != 1) return std::nullopt;
    pixels &= system.boundingRect();
  }
  return DirectPixels{image, t, pixels};
}

// The rows are copied by a plain loop (kept from becoming a call of the C
// library's copy, which is what Qt's drawImage does for an opaque picture):
// with the library's 512-bit copy the grid took a tenth of a scope's drawing
// and a second at the program's rate measured 110 ms in bench_display, with
// this loop 101 ms.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) void copyRows(const uint32_t* from, qsizetype fromStride,
                                                                            uint32_t* to, qsizetype toStride, int width,
                                                                            int rows) {
  for (int y = 0; y < rows; ++y, from += fromStride, to += toStride)
    for (int x = 0; x < width; ++x) to[x] = from[x];
}

}  // namespace quorvel::display
