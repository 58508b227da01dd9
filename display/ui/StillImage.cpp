// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/StillImage.h"

#include "display/ui/DirectPixels.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <string_view>

namespace quorvel::display {

namespace {

constexpr uint32_t kNone = UINT32_MAX;

}  // namespace

StillImage::StillImage(const QImage& image)
    : size_(image.size()),
      dpr_(image.devicePixelRatio()),
      format_(image.format()),
      key_(image.cacheKey()),
      perRow_((image.width() + kPiece - 1) / kPiece) {
  const size_t count = size_t(perRow_) * size_t(image.height());
  // Piece i of the image (row i / perRow_) and how many pixels it has.
  auto start = [&](size_t i) {
    return pixelsOf(image) + qsizetype(i / size_t(perRow_)) * strideOf(image) + int(i % size_t(perRow_)) * kPiece;
  };
  auto widthOf = [&](size_t i) { return std::min(kPiece, image.width() - int(i % size_t(perRow_)) * kPiece); };
  // Pieces are told apart in the image itself: the first of each content,
  // found by its hash (open addressing), gives its place to those like it.
  // Only then are the distinct ones copied, into memory of their exact size
  // (a copy grown as it went would leave its spare room in the heap).
  pieces_.resize(count);
  std::vector<uint32_t> first(std::bit_ceil(count + 1), kNone);
  const size_t mask = first.size() - 1;
  std::vector<uint32_t> distinct;
  for (size_t i = 0; i < count; ++i) {
    const auto bytes = size_t(widthOf(i)) * sizeof(uint32_t);
    size_t slot =
        std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(start(i)), bytes)) & mask;
    for (; first[slot] != kNone; slot = (slot + 1) & mask)
      if (size_t(widthOf(first[slot])) * sizeof(uint32_t) == bytes &&
          std::memcmp(start(first[slot]), start(i), bytes) == 0)
        break;
    if (first[slot] != kNone) {
      pieces_[i] = pieces_[first[slot]];
      continue;
    }
    first[slot] = uint32_t(i);
    pieces_[i] = uint32_t(distinct.size()) * kPiece;
    distinct.push_back(uint32_t(i));
  }
  // A row's last piece is padded with zeros.
  pixels_.assign(distinct.size() * kPiece, 0);
  for (size_t d = 0; d < distinct.size(); ++d)
    std::copy_n(start(distinct[d]), widthOf(distinct[d]), pixels_.data() + d * kPiece);
}

// A plain loop, kept from becoming a call of the C library's copy (which is
// what Qt's drawImage does for an opaque picture): with the library's 512-bit
// copy the grid took a tenth of a scope's drawing when it was copied whole
// under every picture, and a second at the program's rate measured 110 ms in
// bench_display, with this loop 101 ms.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) void StillImage::copyRow(int x, int y, int width,
                                                                                       uint32_t* to) const {
  forEachRun(x, y, width, [&to](const uint32_t* from, int n) {
    for (int i = 0; i < n; ++i) to[i] = from[i];
    to += n;
  });
}

QImage StillImage::toImage() const {
  QImage image(size_, format_);
  image.setDevicePixelRatio(dpr_);
  for (int y = 0; y < height(); ++y) copyRow(0, y, width(), pixelsOf(image) + y * strideOf(image));
  return image;
}

}  // namespace quorvel::display
