// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/ReadoutLine.h"

#include "display/ui/PlotBackground.h"

#include <QFontMetricsF>

#include <cmath>

namespace quorvel::display {

namespace {
// Less than this of a cut piece is not worth showing.
constexpr double kLeastShown = 40;
}  // namespace

const QStaticText& TextCache::get(const QString& text, const QFont& font) {
  auto& texts = texts_[font.bold()];
  if (const auto it = texts.constFind(text); it != texts.constEnd()) return *it;
  if (texts.size() >= kMost) texts.clear();
  QStaticText laid(text);
  laid.setTextFormat(Qt::PlainText);
  laid.setPerformanceHint(QStaticText::AggressiveCaching);
  laid.prepare(QTransform(), font);
  return *texts.insert(text, laid);
}

const QStaticText& TextCache::elided(const QString& text, const QFont& font, double width) {
  // Whole pixels: the cut is the same within one.
  auto& cuts = cuts_[font.bold()];
  const Cut key{int(width), text};
  auto it = cuts.constFind(key);
  if (it == cuts.constEnd()) {
    if (cuts.size() >= kMost) cuts.clear();
    it = cuts.insert(key, QFontMetricsF(font).elidedText(text, Qt::ElideRight, std::floor(width)));
  }
  return get(*it, font);
}

TextCache::Height TextCache::heightOf(const QFont& font) {
  Measured& m = heights_[font.bold()];
  if (!m.known || m.font != font) {
    const QFontMetricsF metrics(font);
    m = {font, {metrics.ascent(), metrics.descent()}, true};
  }
  return m.height;
}

ReadoutLine::ReadoutLine(QPainter& p, double left, double right, double baseline, std::vector<TextBox>& boxes,
                         TextCache& cache, PlotBackground& background)
    : p_(p), left_(left), right_(right), baseline_(baseline), boxes_(boxes), cache_(cache), background_(background) {}

QRectF ReadoutLine::boxOf(double x, double width, const QFont& font) const {
  const TextCache::Height h = cache_.heightOf(font);
  return {x, baseline_ - h.ascent, width, h.ascent + h.descent};
}

void ReadoutLine::draw(const QStaticText& text, double x, const QColor& colour, const QFont& font) {
  // The painter is left as drawing leaves it, drawn or not.
  p_.setFont(font);
  p_.setPen(colour);
  const QRectF box = boxOf(x, text.size().width(), font);
  if (background_.kept(p_, {text.text(), font, colour.rgba(), 0, box})) return;
  p_.drawStaticText(box.topLeft(), text);
}

bool ReadoutLine::fromRight(const QString& text, const QColor& colour, const QFont& font, const QString& what) {
  if (text.isEmpty()) return false;
  const QStaticText& laid = cache_.get(text, font);
  const double width = laid.size().width();
  if (right_ - width < left_) return false;
  draw(laid, right_ - width, colour, font);
  boxes_.push_back({what, boxOf(right_ - width, width, font)});
  right_ -= width + kGap;
  return true;
}

bool ReadoutLine::fromLeft(const QString& text, const QColor& colour, const QFont& font, const QString& what,
                           bool elide) {
  if (text.isEmpty()) return false;
  const double room = right_ - left_;
  const QStaticText* laid = &cache_.get(text, font);
  if (laid->size().width() > room) {
    if (!elide || room < kLeastShown) return false;
    laid = &cache_.elided(text, font, room);
  }
  const double width = laid->size().width();
  draw(*laid, left_, colour, font);
  boxes_.push_back({what, boxOf(left_, width, font)});
  left_ += width + kGap;
  return true;
}

std::optional<QRectF> ReadoutLine::reserveRight(double width, double height, const QString& what) {
  if (right_ - width < left_) return std::nullopt;
  const QRectF box(right_ - width, baseline_ - height + 4, width, height);
  boxes_.push_back({what, box});
  right_ -= width + kGap;
  return box;
}

bool ReadoutLine::badgeRight(const QString& text, const QColor& colour, const QColor& back, const QFont& font,
                             double padding, double height, const QString& what) {
  const auto box = reserveRight(cache_.get(text, font).size().width() + padding, height, what);
  if (!box) return false;
  if (background_.kept(p_, {text, font, colour.rgba(), back.rgba(), *box})) return true;
  p_.save();
  p_.setRenderHint(QPainter::Antialiasing, true);
  p_.setPen(Qt::NoPen);
  p_.setBrush(back);
  p_.drawRoundedRect(*box, 3, 3);
  p_.setFont(font);
  p_.setPen(colour);
  p_.drawText(*box, Qt::AlignCenter, text);
  p_.restore();
  return true;
}

}  // namespace quorvel::display
