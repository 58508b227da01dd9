// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The data lines written straight into pixels: where a line's coverage
// goes, that nothing is written outside the clip, that a polyline of many
// short segments is as even as one long line, and that a painter whose
// pixels cannot be written directly gets the same picture.
#include "display/ui/LineRaster.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace quorvel::display;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

QImage blank(QImage::Format format = QImage::Format_RGB32) {
  QImage img(40, 30, format);
  img.fill(kBlack);
  return img;
}

int level(const QImage& img, int x, int y) { return qRed(img.pixel(x, y)); }

// The rows of column x where the line left something, with their levels.
std::vector<std::pair<int, int>> columnOf(const QImage& img, int x) {
  std::vector<std::pair<int, int>> lit;
  for (int y = 0; y < img.height(); ++y)
    if (level(img, x, y) > 0) lit.emplace_back(y, level(img, x, y));
  return lit;
}

}  // namespace

// A line's centre between two rows (or columns) is shared between them by
// how near it lies; on a pixel's centre, that pixel takes it all. The halo
// shows one row below the line's lower edge, never on the line itself.
TEST(LineRaster, CoverageIsSharedByDistanceFromPixelCentres) {
  struct Case {
    const char* what;
    QPolygonF line;
    int column;  // where the covered pixels are read (a row for a vertical line)
    bool vertical;
    std::vector<std::pair<int, int>> expected;  // (row or column, level)
    bool halo = false;
  };
  const Case cases[] = {
      {"on row 10's centre", QPolygonF{{2, 10.5}, {30, 10.5}}, 15, false, {{10, 255}}},
      {"between rows 9 and 10", QPolygonF{{2, 10.0}, {30, 10.0}}, 15, false, {{9, 128}, {10, 128}}},
      {"a quarter below row 10's centre", QPolygonF{{2, 10.75}, {30, 10.75}}, 15, false, {{10, 191}, {11, 64}}},
      {"vertical, on column 7's centre", QPolygonF{{7.5, 3}, {7.5, 25}}, 12, true, {{7, 255}}},
      {"vertical, between columns 7 and 8", QPolygonF{{8, 3}, {8, 25}}, 12, true, {{7, 128}, {8, 128}}},
      // The halo is 70/255 of the line's colour at the coverage above it.
      {"with a halo, between rows 9 and 10",
       QPolygonF{{2, 10.0}, {30, 10.0}},
       15,
       false,
       {{9, 128}, {10, 128}, {11, 35}},
       true},
      {"with a halo, vertical", QPolygonF{{8, 3}, {8, 25}}, 12, true, {{7, 128}, {8, 128}}, true},
      // Column 15 crossed twice, a gap between: each crossing has its halo.
      {"with a halo, a column crossed twice",
       QPolygonF{{2, 10.5}, {30, 10.5}, {30, 20.5}, {2, 20.5}},
       15,
       false,
       {{10, 255}, {11, 70}, {20, 255}, {21, 70}},
       true},
  };
  for (const Case& c : cases) {
    QImage img = blank();
    QPainter p(&img);
    LineRaster raster;
    raster.drawLine(p, c.line, QRectF(0, 0, 40, 30), kWhite, c.halo);
    p.end();
    std::vector<std::pair<int, int>> lit;
    if (c.vertical) {
      for (int x = 0; x < img.width(); ++x)
        if (level(img, x, c.column) > 0) lit.emplace_back(x, level(img, x, c.column));
    } else {
      lit = columnOf(img, c.column);
    }
    ASSERT_EQ(lit.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < lit.size(); ++i) {
      EXPECT_EQ(lit[i].first, c.expected[i].first) << c.what;
      EXPECT_NEAR(lit[i].second, c.expected[i].second, 1) << c.what;
    }
  }
}

// A polyline of many short segments along a straight line, or one that
// goes there and back (as a trace's strokes of whole columns do), covers
// each pixel as the single segment does: segments do not add up.
TEST(LineRaster, ManyShortSegmentsDrawWhatOneLongOneDraws) {
  auto draw = [](const QPolygonF& line) {
    QImage img = blank();
    QPainter p(&img);
    LineRaster().drawLine(p, line, QRectF(0, 0, 40, 30), QColor(0x60, 0x60, 0x60));
    return img;
  };
  const QImage one = draw(QPolygonF{{1, 4}, {37, 26}});
  QPolygonF pieces;
  for (int k = 0; k <= 144; ++k) pieces << QPointF(1 + 36.0 * k / 144, 4 + 22.0 * k / 144);
  const QPolygonF back{{1, 4}, {37, 26}, {1, 4}, {37, 26}};
  for (const QImage& other : {draw(pieces), draw(back)}) {
    int worst = 0;
    for (int y = 0; y < one.height(); ++y)
      for (int x = 0; x < one.width(); ++x) worst = std::max(worst, std::abs(level(one, x, y) - level(other, x, y)));
    EXPECT_LE(worst, 2);
  }
}

// Nothing lands outside the clip, whatever the line does beyond it, and
// one raster draws one line after another without leftovers.
TEST(LineRaster, WritesOnlyInsideTheClip) {
  QImage img = blank();
  QPainter p(&img);
  LineRaster raster;
  const QRectF clip(10, 5, 20, 15);
  raster.drawLine(p, QPolygonF{{-50, -40}, {20, 12}, {90, 400}, {15, 1e6}}, clip, kWhite);
  raster.drawLine(p, QPolygonF{{-5, 12.5}, {60, 12.5}}, clip, kWhite, true);
  raster.fillUnder(p, QPolygonF{{0, 8}, {40, 8}}, clip, kWhite, kWhite);
  p.end();
  int inside = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const bool in = clip.toAlignedRect().contains(x, y);
      if (!in) {
        EXPECT_EQ(level(img, x, y), 0) << x << "," << y;
      }
      inside += in && level(img, x, y) > 0;
    }
  EXPECT_GT(inside, 0);
}

// A painter on pixels that cannot be written directly (here 24-bit ones)
// gets the same picture through an image of its own.
TEST(LineRaster, IndirectPaintingGivesTheSamePicture) {
  const QPolygonF line{{2, 25}, {9, 3.3}, {14, 20}, {21, 8}, {38, 16}};
  QImage direct = blank(), indirect = blank(QImage::Format_RGB888);
  for (QImage* img : {&direct, &indirect}) {
    QPainter p(img);
    LineRaster raster;
    raster.fillUnder(p, line, QRectF(1, 2, 36, 26), QColor(0, 0, 255, 120), QColor(0, 0, 255, 20));
    raster.drawLine(p, line, QRectF(1, 2, 36, 26), QColor(255, 200, 0), true);
  }
  const QImage converted = indirect.convertToFormat(QImage::Format_RGB32);
  int worst = 0;
  for (int y = 0; y < direct.height(); ++y)
    for (int x = 0; x < direct.width(); ++x) {
      const QRgb a = direct.pixel(x, y), b = converted.pixel(x, y);
      worst = std::max(
          {worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
    }
  EXPECT_LE(worst, 2);
}
