// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A still picture kept as pieces gives back its image's pixels exactly:
// whole, and in runs of a row that start and end anywhere, across pieces and
// in a row's last piece when the width is not a whole number of pieces; and
// what repeats is kept once.
#include "display/ui/StillImage.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace quorvel::display;

namespace {

constexpr int kPiece = StillImage::kPiece;

enum class Drawn { Flat, Lines, Labels };

// One colour; or bands of a shade and vertical lines; or those and labels:
// one at the right edge, one across a piece's boundary, one down the left edge.
QImage grid(int width, int height, Drawn drawn) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(qRgb(14, 18, 22));
  if (drawn == Drawn::Flat) return image;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(10, 10 + y / 7, 20));
  for (int x = 5; x < width; x += 45)
    for (int y = 0; y < height; ++y) image.setPixel(x, y, qRgb(50, 60, 70));
  if (drawn == Drawn::Labels) {
    auto label = [&](int left, int top, int w, int h) {
      for (int y = std::max(top, 0); y < std::min(top + h, height); ++y)
        for (int x = std::max(left, 0); x < std::min(left + w, width); ++x)
          image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    };
    label(width - 9, 3, 9, 11);
    label(kPiece - 4, height / 2, 9, 5);
    label(0, 0, 6, height);
  }
  return image;
}

}  // namespace

TEST(StillImage, GivesBackTheImagesPixelsKeepingWhatRepeatsOnce) {
  struct Case {
    std::string name;
    int width, height;
    Drawn drawn;
    int pieces;  // distinct pieces kept, where known
  };
  const std::vector<Case> cases = {
      {"narrower than a piece", kPiece - 3, 20, Drawn::Labels, 0},
      {"a piece wide", kPiece, 20, Drawn::Labels, 0},
      {"a pixel more than a piece", kPiece + 1, 20, Drawn::Labels, 0},
      {"whole pieces", 8 * kPiece, 60, Drawn::Labels, 0},
      {"a part piece at the right", 779, 61, Drawn::Labels, 0},
      {"one row", 100, 1, Drawn::Lines, 0},
      // A whole piece and the part one at the right.
      {"flat", 10 * kPiece + 3, 200, Drawn::Flat, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QImage image = grid(c.width, c.height, c.drawn);
    image.setDevicePixelRatio(1.5);
    const StillImage still(image);
    EXPECT_EQ(still.size(), image.size());
    EXPECT_EQ(still.devicePixelRatio(), image.devicePixelRatio());
    const QImage back = still.toImage();
    EXPECT_EQ(back, image);
    EXPECT_EQ(back.devicePixelRatio(), image.devicePixelRatio());
    // Runs from every start to a few lengths, across pieces and to the row's end.
    std::vector<uint32_t> row(size_t(c.width));
    for (int y = 0; y < c.height; y += 3)
      for (int x = 0; x < c.width; ++x)
        for (int width : {1, 4, kPiece - 1, kPiece + 5, c.width - x}) {
          if (x + width > c.width) continue;
          still.copyRow(x, y, width, row.data());
          const auto* from = reinterpret_cast<const uint32_t*>(image.constScanLine(y)) + x;
          ASSERT_TRUE(std::equal(row.begin(), row.begin() + width, from))
              << "row " << y << " from " << x << " width " << width;
        }
    if (c.pieces > 0) {
      const size_t table = size_t(c.height) * size_t((c.width + kPiece - 1) / kPiece) * sizeof(uint32_t);
      EXPECT_EQ(still.bytes(), table + size_t(c.pieces) * kPiece * sizeof(uint32_t));
    }
  }
}
