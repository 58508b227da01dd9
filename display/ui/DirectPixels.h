// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The pixels a painter paints into, where they can be written directly: an
// image of 32-bit pixels (a QImage, or a window's raster backing store
// during a paint event) painted without rotation or shear. The scopes write
// their lines, fills and background there themselves: Qt's general paths
// cost several times as much for the same pixels.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QTransform>

#include <cstdint>
#include <optional>

namespace quorvel::display {

struct DirectPixels {
  QImage* image;
  QTransform toPixels;  // from the painter's coordinates
  // The pixels that may be written: the clip asked for, within the
  // painter's clip rectangle and the part of the window being repainted.
  QRect clip;
};

// None where the painter's pixels cannot be written directly.
std::optional<DirectPixels> directPixels(QPainter& p, const QRectF& clip);

inline uint32_t* pixelsOf(QImage& img) { return reinterpret_cast<uint32_t*>(img.bits()); }
inline const uint32_t* pixelsOf(const QImage& img) { return reinterpret_cast<const uint32_t*>(img.constBits()); }
inline qsizetype strideOf(const QImage& img) { return img.bytesPerLine() / 4; }

// x * a / 255 for each 8-bit channel of x, rounded (a within 0 ... 255).
inline uint32_t byteMul(uint32_t x, uint32_t a) {
  uint32_t t = (x & 0xff00ffu) * a;
  t = ((t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
  x = ((x >> 8) & 0xff00ffu) * a;
  x = (x + ((x >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
  return x | t;
}

// Premultiplied src over dst; an opaque dst stays opaque.
inline uint32_t over(uint32_t dst, uint32_t src) { return src + byteMul(dst, 255 - (src >> 24)); }

}  // namespace quorvel::display
