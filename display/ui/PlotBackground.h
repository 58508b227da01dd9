// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The still background of a scope picture (its grid) put under each new
// picture, with the fill under a spectrum, and what each picture draws over
// them.
//
// A window's backing store keeps its pixels from one paint event to the
// next, so a picture painted on screen finds the last one still there: it
// puts back only what the last one drew over the background instead of
// copying all of it, which was the largest part of a scope's drawing. So
// everything a picture draws over the background is noted here: its lines
// column by column (LineRaster), every other piece by a rectangle. The fill
// under a spectrum counts as background: the pixels keep it, and a new
// fill changes only the rows between its old top and its new one in each
// column. The whole background is copied wherever the pixels may hold
// something else: a first picture, a new size or background, an image
// other than the last one's, a repaint of part of the window, pixels that
// cannot be written directly, a picture rendered into an image of its own.
//
// Texts are most of what a picture draws over the background outside its
// plot, and most stay the same from one picture to the next: a text that the
// last picture drew where this one draws it again, with nothing else drawn
// over its box in either, is left in the pixels, neither put back nor drawn.
// Whether this picture draws it again is known only when it comes to it, so
// the last picture's texts that nothing else covered wait until then: a
// text drawn over one of them puts it back first, and those left at the end
// are put back then. Should something else be drawn over a waiting text
// before that (what the last picture did not show, such as a mark moved
// under a text that stayed), the picture is wrong there and is painted
// again whole (done() says so).
#pragma once

#include "display/ui/StillImage.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <vector>

namespace quorvel::display {

// Fills column i of rect from row tops[i] down to rect's bottom, each row
// r blended with rowColours[r - rect.top()] (premultiplied).
void fillColumns(QImage& image, const QRect& rect, const std::vector<uint32_t>& rowColours,
                 const std::vector<int>& tops);

class PlotBackground {
 public:
  // Puts still under a new picture, at the painter's top left. samePixels:
  // the painter paints into the pixels the last picture put was painted
  // into (a window's backing store), which nothing else has changed since.
  void put(QPainter& p, const StillImage& still, bool samePixels);
  // The picture's fill, as fillColumns, in the painter's pixels. A picture
  // that had one is followed by pictures that fill (or fill nothing, all
  // tops below the bottom) until the background changes.
  void fill(QImage& image, const QRect& rect, const std::vector<uint32_t>& rowColours, const std::vector<int>& tops);
  // The picture being painted draws over rows top ... bottom of device
  // column x (the painter's pixels).
  void coverColumn(int x, int top, int bottom);
  // ... over r, in the painter's coordinates (with a margin for the edges
  // of antialiased shapes and text).
  void cover(const QPainter& p, const QRectF& r);
  // A text about to be drawn in box (the painter's coordinates), in colour,
  // over a rounded box of back when back is not 0. True: the pixels hold it
  // as the last picture drew it, and the caller leaves it. False: the caller
  // draws it (what the last picture left in its box is put back).
  struct Text {
    QString text;
    QFont font;
    QRgb colour = 0, back = 0;
    QRectF box;
  };
  bool kept(const QPainter& p, const Text& text);
  // The picture is painted: what it covered is what the next one puts back.
  // False when the picture must be painted again (the next one is put whole):
  // something was drawn over a text the last picture left waiting.
  bool done();
  // The pixels may have been changed by others: the next picture puts the whole background.
  void forget() { valid_ = false; }

 private:
  struct Drawn {
    Text text;
    QTransform transform;  // the painter's to the device
    QPainter::RenderHints hints;
    QRect pixels;  // with a margin, in the area
    bool operator==(const Drawn& o) const;
  };
  struct Covered {
    std::vector<int> top, bottom;  // per column of the area; none where top > bottom
    std::vector<QRect> rects;
    std::vector<Drawn> texts;  // through kept()
    void reset(int width);
  };
  // A text of the last picture left in the pixels.
  enum class Waiting { Yes, Kept, PutBack };
  struct Fill {
    QRect rect;
    std::vector<uint32_t> rowColours;
    std::vector<int> tops;
  };
  // The background, with the fill the pixels hold, in place of rect.
  struct Rows {
    uint32_t* pixels;
    qsizetype stride;
  };
  void restore(const Rows& rows, const QRect& rect) const;
  // Where put restores the columns from `from` to `from` + kBlock of the area.
  QRect columnBlock(int from) const;
  // Whether nothing of the last picture but this text of it is put back in its pixels.
  bool alone(size_t text) const;
  // Whether the picture being painted has drawn over pixels so far.
  bool drawnOver(const QRect& pixels) const;
  // The waiting texts that meet pixels are put back (or spoil the picture).
  void putBackUnder(const QRect& pixels);
  // r in the device's pixels, with a margin for the edges of antialiased shapes and text.
  QRect deviceRect(const QPainter& p, const QRectF& r) const;

  // The lines' columns are put back a few at a time, over the rows any of
  // them covered: a column at a time touches a cache line per pixel. The
  // pixels between that none covered hold the background already: putting
  // it back there too costs less than telling them apart. (bench_display, a
  // second at the program's rate: 2 columns 53.9 ms, 4 52.4 ms, 8 60.6 ms,
  // 16 60.0 ms.)
  static constexpr int kBlock = 4;
  // A block then reads one piece of the still in each row.
  static_assert(StillImage::kPiece % kBlock == 0);

  Covered last_, now_;
  bool recording_ = false;
  bool valid_ = false;  // last_ tells what differs from the background in the pixels below
  // Where the last picture was put: its image's pixels, the background, and
  // the pixels it took in that image.
  const uchar* bits_ = nullptr;
  QSize imageSize_;
  qint64 stillKey_ = 0;
  QRect area_;
  const StillImage* still_ = nullptr;  // during a picture
  Fill fill_;
  bool fillHeld_ = false;         // the pixels hold fill_ (put back where covered)
  bool filled_ = false;           // the picture being painted has filled
  Rows rows_{};                   // during a picture
  std::vector<Waiting> waiting_;  // per text of last_, during a picture
  bool spoiled_ = false;          // something was drawn over a waiting text
};

}  // namespace quorvel::display
