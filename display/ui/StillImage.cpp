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

size_t hashOf(const uint32_t* piece) {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(piece), StillImage::kPiece * sizeof(uint32_t)));
}

}  // namespace

StillImage::StillImage(const QImage& image)
    : size_(image.size()),
      dpr_(image.devicePixelRatio()),
      format_(image.format()),
      key_(image.cacheKey()),
      perRow_((image.width() + kPiece - 1) / kPiece) {
  const size_t count = size_t(perRow_) * size_t(image.height());
  pieces_.resize(count);
  // The pieces met so far, by their contents' hash (open addressing).
  std::vector<uint32_t> seen(std::bit_ceil(2 * count + 1), kNone);
  const size_t mask = seen.size() - 1;
  std::vector<uint32_t> pixels;
  uint32_t piece[kPiece];
  for (int y = 0; y < image.height(); ++y) {
    const uint32_t* row = pixelsOf(image) + y * strideOf(image);
    for (int k = 0; k < perRow_; ++k) {
      // The last piece of a row is padded with zeros.
      const int x = k * kPiece, n = std::min(kPiece, image.width() - x);
      std::fill(std::copy(row + x, row + x + n, piece), piece + kPiece, 0u);
      size_t slot = hashOf(piece) & mask;
      while (seen[slot] != kNone && std::memcmp(pixels.data() + seen[slot], piece, sizeof piece) != 0)
        slot = (slot + 1) & mask;
      if (seen[slot] == kNone) {
        seen[slot] = uint32_t(pixels.size());
        pixels.insert(pixels.end(), piece, piece + kPiece);
      }
      pieces_[size_t(y) * size_t(perRow_) + size_t(k)] = seen[slot];
    }
  }
  // Exactly as large as it must be: the growth's spare room would stay.
  pixels_.assign(pixels.begin(), pixels.end());
}

// A plain loop, kept from becoming a call of the C library's copy (which is
// what Qt's drawImage does for an opaque picture): with the library's 512-bit
// copy the grid took a tenth of a scope's drawing when it was copied whole
// under every picture, and a second at the program's rate measured 110 ms in
// bench_display, with this loop 101 ms.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) void StillImage::copyRow(int x, int y, int width,
                                                                                       uint32_t* to) const {
  while (width > 0) {
    const int n = std::min(width, kPiece - x % kPiece);
    const uint32_t* from = at(x, y);
    for (int i = 0; i < n; ++i) to[i] = from[i];
    x += n;
    to += n;
    width -= n;
  }
}

QImage StillImage::toImage() const {
  QImage image(size_, format_);
  image.setDevicePixelRatio(dpr_);
  for (int y = 0; y < height(); ++y) copyRow(0, y, width(), pixelsOf(image) + y * strideOf(image));
  return image;
}

}  // namespace quorvel::display
