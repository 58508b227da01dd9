// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A still picture (a scope's grid, frame and labels) kept in little memory.
//
// Most of such a picture repeats: flat colour, the same grid lines at the
// same x in row after row, a shade that changes colour every few dozen
// rows; labels touch a few places only, one of them a turned title down the
// whole left edge, so whole rows repeat less than their pieces do. Each row
// is cut into pieces of kPiece pixels from its left edge, and each piece is
// kept once however often it occurs: a scope's grid of 779 x 402 pixels
// takes 90-95 kB in place of its image's 1.25 MB. What a picture reads of
// it stays in the processor's caches between the writes to the window's
// pixels it is read for (bench_display, a second at the program's rate,
// with the whole image: 34.5 ms painted over the last picture, 48.9 ms
// afresh; with the pieces 32.0 and 42.2 ms). Pieces of 32 pixels kept the
// least: 64 took a third more, 16 a sixth more (the table of pieces grows).
#pragma once

#include <QImage>
#include <QSize>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quorvel::display {

class StillImage {
 public:
  // A piece's width: 128 bytes, two cache lines.
  static constexpr int kPiece = 32;

  StillImage() = default;
  // From an image of 32-bit pixels (RGB32 or premultiplied ARGB32).
  explicit StillImage(const QImage& image);

  QSize size() const { return size_; }
  int width() const { return size_.width(); }
  int height() const { return size_.height(); }
  qreal devicePixelRatio() const { return dpr_; }
  QImage::Format format() const { return format_; }
  QRect rect() const { return {QPoint(0, 0), size_}; }
  // Differs from every other still's, as QImage::cacheKey does.
  qint64 key() const { return key_; }

  // Pixel x of row y, and the pixels after it up to the end of its piece
  // (kPiece - x % kPiece of them).
  const uint32_t* at(int x, int y) const {
    return pixels_.data() + pieces_[size_t(y) * size_t(perRow_) + size_t(x / kPiece)] + x % kPiece;
  }
  uint32_t pixel(int x, int y) const { return *at(x, y); }
  // Calls fn(from, n) for the width pixels of row y from x on, a run of n
  // pixels within one piece at a time, left to right. Inline: a scope's
  // put-back walks short rows, where a call each would cost more than the copy.
  template <class Fn>
  void forEachRun(int x, int y, int width, Fn&& fn) const {
    while (width > 0) {
      const int n = std::min(width, kPiece - x % kPiece);
      fn(at(x, y), n);
      x += n;
      width -= n;
    }
  }
  // Copies width pixels of row y from x on to `to`.
  void copyRow(int x, int y, int width, uint32_t* to) const;
  // The whole picture as an image, made anew (for painters whose pixels
  // cannot be written directly).
  QImage toImage() const;
  // Memory taken by the pixels and the table of pieces.
  size_t bytes() const { return pixels_.capacity() * sizeof(uint32_t) + pieces_.capacity() * sizeof(uint32_t); }

 private:
  QSize size_;
  qreal dpr_ = 1;
  QImage::Format format_ = QImage::Format_RGB32;
  qint64 key_ = 0;
  int perRow_ = 0;                // pieces per row, the last one padded
  std::vector<uint32_t> pixels_;  // each distinct piece, kPiece pixels each
  std::vector<uint32_t> pieces_;  // per row, per piece: where in pixels_ it starts
};

}  // namespace quorvel::display
