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

}  // namespace quorvel::display
