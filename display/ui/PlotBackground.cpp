// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/PlotBackground.h"

#include "display/ui/DirectPixels.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace quorvel::display {

namespace {

// A colour blended over the pixels of one row of the background, which are
// mostly one colour: the last pixel blended and what it gave are kept.
class RowBlend {
 public:
  explicit RowBlend(uint32_t colour) : colour_(colour), after_(display::over(0, colour)) {}
  uint32_t over(uint32_t pixel) {
    if (pixel != before_) {
      before_ = pixel;
      after_ = display::over(pixel, colour_);
    }
    return after_;
  }

 private:
  uint32_t colour_, before_ = 0, after_;
};

// The pixels of rect from still, which lies at area in the image.
void copy(const StillImage& still, const QRect& area, QImage& to, const QRect& rect) {
  const QRect r = rect & area;
  const qsizetype stride = strideOf(to);
  for (int y = r.top(); y <= r.bottom(); ++y)
    still.copyRow(r.left() - area.left(), y - area.top(), r.width(), pixelsOf(to) + y * stride + r.left());
}

}  // namespace

void fillColumns(QImage& image, const QRect& rect, const std::vector<uint32_t>& rowColours,
                 const std::vector<int>& tops) {
  std::vector<RowBlend> rows(rowColours.begin(), rowColours.end());
  uint32_t* px = pixelsOf(image);
  const qsizetype stride = strideOf(image);
  for (size_t i = 0; i < tops.size(); ++i) {
    const int x = rect.left() + int(i);
    for (int y = std::max(tops[i], rect.top()); y <= rect.bottom(); ++y) {
      uint32_t& pixel = px[y * stride + x];
      pixel = rows[size_t(y - rect.top())].over(pixel);
    }
  }
}

void PlotBackground::Covered::reset(int width) {
  top.assign(size_t(width), INT_MAX);
  bottom.assign(size_t(width), INT_MIN);
  rects.clear();
  texts.clear();
}

bool PlotBackground::Drawn::operator==(const Drawn& o) const {
  return text.box == o.text.box && text.colour == o.text.colour && text.back == o.text.back && hints == o.hints &&
         transform == o.transform && text.text == o.text.text && text.font == o.text.font;
}

// A plain loop, kept from becoming a call of the C library's copy (see StillImage::copyRow).
__attribute__((optimize("no-tree-loop-distribute-patterns"))) void PlotBackground::restore(const Rows& rows,
                                                                                           const QRect& r) const {
  const QRect& f = fill_.rect;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    uint32_t* pixels = rows.pixels + y * rows.stride;
    int x = r.left();
    if (!fillHeld_ || y < f.top() || y > f.bottom()) {
      // A block of the lines' columns lies in one piece and is copied as one move.
      still_->forEachRun(x - area_.left(), y - area_.top(), r.width(), [&](const uint32_t* still, int n) {
        if (n == kBlock) {
          std::memcpy(pixels + x, still, kBlock * sizeof(uint32_t));
        } else {
          for (int i = 0; i < n; ++i) pixels[x + i] = still[i];
        }
        x += n;
      });
      continue;
    }
    RowBlend blend(fill_.rowColours[size_t(y - f.top())]);
    still_->forEachRun(x - area_.left(), y - area_.top(), r.width(), [&](const uint32_t* still, int n) {
      for (int i = 0; i < n; ++i, ++x)
        pixels[x] =
            x < f.left() || x > f.right() || y < fill_.tops[size_t(x - f.left())] ? still[i] : blend.over(still[i]);
    });
  }
}

void PlotBackground::put(QPainter& p, const StillImage& still, bool samePixels) {
  recording_ = false;
  waiting_.clear();
  spoiled_ = false;
  const QRectF picture(QPointF(0, 0), QSizeF(still.size()) / still.devicePixelRatio());
  const auto direct = directPixels(p, picture);
  const QTransform& t = direct ? direct->toPixels : QTransform();
  const int dx = int(std::lround(t.dx())), dy = int(std::lround(t.dy()));
  // Qt keeps an RGB32 pixel's top byte at 0xff: it is an opaque premultiplied one too.
  if (!direct || t.type() > QTransform::TxTranslate || dx != t.dx() || dy != t.dy() ||
      !(still.format() == QImage::Format_RGB32 || still.format() == direct->image->format())) {
    p.drawImage(QPointF(0, 0), still.toImage());
    if (samePixels) valid_ = false;
    return;
  }
  QImage& image = *direct->image;
  const QRect area = still.rect().translated(dx, dy);
  if (!samePixels) {
    // Into other pixels: what is known of the last picture on screen stays.
    copy(still, area, image, direct->clip);
    return;
  }
  const bool whole = (direct->clip & area) == area;
  const bool again = valid_ && whole && image.constBits() == bits_ && image.size() == imageSize_ &&
                     still.key() == stillKey_ && area == area_;
  area_ = area;
  still_ = &still;
  if (again) {
    const Rows rows{pixelsOf(image), strideOf(image)};
    rows_ = rows;
    for (const QRect& r : last_.rects) restore(rows, r);
    // The last picture's texts wait for this one's, but where more of it is put back.
    waiting_.assign(last_.texts.size(), Waiting::Yes);
    for (size_t i = 0; i < last_.texts.size(); ++i)
      if (!alone(i)) {
        restore(rows, last_.texts[i].pixels);
        waiting_[i] = Waiting::PutBack;
      }
    for (int from = 0; from < area.width(); from += kBlock)
      if (const QRect block = columnBlock(from); !block.isEmpty()) restore(rows, block);
  } else {
    copy(still, area, image, direct->clip);
    fillHeld_ = false;
  }
  // A picture painted into part of the window leaves the rest as it was:
  // the next one starts afresh.
  valid_ = false;
  if (!whole) return;
  bits_ = image.constBits();
  imageSize_ = image.size();
  stillKey_ = still.key();
  now_.reset(area.width());
  filled_ = false;
  recording_ = true;
}

void PlotBackground::fill(QImage& image, const QRect& rect, const std::vector<uint32_t>& rowColours,
                          const std::vector<int>& tops) {
  if (!recording_) {
    fillColumns(image, rect, rowColours, tops);
    return;
  }
  filled_ = true;
  if (fillHeld_ && fill_.rect == rect && fill_.rowColours == rowColours) {
    // The pixels hold the last fill: only the rows between its top and the
    // new top change in each column.
    const qsizetype stride = strideOf(image);
    uint32_t* px = pixelsOf(image);
    for (size_t i = 0; i < tops.size(); ++i) {
      const int x = rect.left() + int(i);
      const int was = std::max(fill_.tops[i], rect.top()), now = std::max(tops[i], rect.top());
      for (int y = now; y < std::min(was, rect.bottom() + 1); ++y)
        px[y * stride + x] = over(px[y * stride + x], rowColours[size_t(y - rect.top())]);
      for (int y = was; y < std::min(now, rect.bottom() + 1); ++y)
        px[y * stride + x] = still_->pixel(x - area_.left(), y - area_.top());
    }
  } else {
    if (fillHeld_) {
      // Another fill than the pixels hold (not met while the background stays): back to the background first.
      for (size_t i = 0; i < fill_.tops.size(); ++i)
        copy(*still_, area_, image,
             QRect(QPoint(fill_.rect.left() + int(i), fill_.tops[i]),
                   QPoint(fill_.rect.left() + int(i), fill_.rect.bottom())));
    }
    fillColumns(image, rect, rowColours, tops);
  }
  fill_.rect = rect;
  fill_.rowColours = rowColours;
  fill_.tops = tops;
  fillHeld_ = true;
}

void PlotBackground::coverColumn(int x, int top, int bottom) {
  if (!recording_) return;
  const int i = x - area_.left();
  if (i < 0 || i >= area_.width()) return;
  now_.top[size_t(i)] = std::min(now_.top[size_t(i)], top);
  now_.bottom[size_t(i)] = std::max(now_.bottom[size_t(i)], bottom);
}

QRect PlotBackground::deviceRect(const QPainter& p, const QRectF& r) const {
  return p.deviceTransform().mapRect(r.normalized()).toAlignedRect().adjusted(-2, -2, 2, 2) & area_;
}

void PlotBackground::cover(const QPainter& p, const QRectF& r) {
  if (!recording_) return;  // a line's rectangle may have no width
  if (const QRect pixels = deviceRect(p, r); !pixels.isEmpty()) now_.rects.push_back(pixels);
}

QRect PlotBackground::columnBlock(int from) const {
  const int to = std::min(from + kBlock, area_.width());
  const int lowest = std::max(area_.top(), *std::min_element(last_.top.begin() + from, last_.top.begin() + to));
  const int highest =
      std::min(area_.bottom(), *std::max_element(last_.bottom.begin() + from, last_.bottom.begin() + to));
  if (lowest > highest) return {};
  return {QPoint(area_.left() + from, lowest), QPoint(area_.left() + to - 1, highest)};
}

bool PlotBackground::alone(size_t text) const {
  const QRect& pixels = last_.texts[text].pixels;
  if (fillHeld_ && fill_.rect.intersects(pixels)) return false;
  for (const QRect& r : last_.rects)
    if (r.intersects(pixels)) return false;
  for (size_t i = 0; i < last_.texts.size(); ++i)
    if (i != text && last_.texts[i].pixels.intersects(pixels)) return false;
  for (int from = (pixels.left() - area_.left()) / kBlock * kBlock; from <= pixels.right() - area_.left();
       from += kBlock)
    if (columnBlock(from).intersects(pixels)) return false;
  return true;
}

bool PlotBackground::drawnOver(const QRect& pixels) const {
  if (filled_ && fill_.rect.intersects(pixels)) return true;
  for (const QRect& r : now_.rects)
    if (r.intersects(pixels)) return true;
  for (const Drawn& d : now_.texts)
    if (d.pixels.intersects(pixels)) return true;
  for (int x = pixels.left(); x <= pixels.right(); ++x) {
    const size_t i = size_t(x - area_.left());
    if (now_.top[i] <= pixels.bottom() && now_.bottom[i] >= pixels.top()) return true;
  }
  return false;
}

void PlotBackground::putBackUnder(const QRect& pixels) {
  for (size_t i = 0; i < waiting_.size(); ++i) {
    const QRect& was = last_.texts[i].pixels;
    if (waiting_[i] != Waiting::Yes || !was.intersects(pixels)) continue;
    waiting_[i] = Waiting::PutBack;
    // What was drawn over the text since would go with it.
    if (drawnOver(was))
      spoiled_ = true;
    else
      restore(rows_, was);
  }
}

bool PlotBackground::kept(const QPainter& p, const Text& text) {
  if (!recording_) return false;
  Drawn drawn{text, p.deviceTransform(), p.renderHints(), deviceRect(p, text.box)};
  if (drawn.pixels.isEmpty()) return false;
  if (p.hasClipping()) {
    // What a clip left of it is not told by what it is: not kept, nor left for the next picture.
    putBackUnder(drawn.pixels);
    now_.rects.push_back(drawn.pixels);
    return false;
  }
  for (size_t i = 0; i < waiting_.size(); ++i)
    if (waiting_[i] == Waiting::Yes && last_.texts[i] == drawn && !drawnOver(drawn.pixels)) {
      waiting_[i] = Waiting::Kept;
      now_.texts.push_back(std::move(drawn));
      return true;
    }
  putBackUnder(drawn.pixels);
  now_.texts.push_back(std::move(drawn));
  return false;
}

bool PlotBackground::done() {
  if (!recording_) return true;
  // The texts of the last picture that this one did not draw again.
  putBackUnder(area_);
  recording_ = false;
  waiting_.clear();
  still_ = nullptr;
  if (spoiled_) {
    spoiled_ = false;
    valid_ = false;
    return false;
  }
  if (fillHeld_ && !filled_) {
    // A view that filled stopped filling without a new background: the
    // old fill was not taken away under this picture. The next one is put whole.
    fillHeld_ = false;
    return true;
  }
  std::swap(last_, now_);
  valid_ = true;
  return true;
}

}  // namespace quorvel::display
