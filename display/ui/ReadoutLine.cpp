// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/ReadoutLine.h"

#include <QFontMetricsF>

namespace quorvel::display {

namespace {
// Less than this of a cut piece is not worth showing.
constexpr double kLeastShown = 40;
}  // namespace

ReadoutLine::ReadoutLine(QPainter& p, double left, double right, double baseline, std::vector<TextBox>& boxes)
    : p_(p), left_(left), right_(right), baseline_(baseline), boxes_(boxes) {}

QRectF ReadoutLine::boxOf(double x, double width, const QFont& font) const {
  const QFontMetricsF m(font);
  return {x, baseline_ - m.ascent(), width, m.ascent() + m.descent()};
}

bool ReadoutLine::fromRight(const QString& text, const QColor& colour, const QFont& font, const QString& what) {
  if (text.isEmpty()) return false;
  const double width = QFontMetricsF(font).horizontalAdvance(text);
  if (right_ - width < left_) return false;
  p_.setFont(font);
  p_.setPen(colour);
  p_.drawText(QPointF(right_ - width, baseline_), text);
  boxes_.push_back({what, boxOf(right_ - width, width, font)});
  right_ -= width + kGap;
  return true;
}

bool ReadoutLine::fromLeft(const QString& text, const QColor& colour, const QFont& font, const QString& what,
                           bool elide) {
  if (text.isEmpty()) return false;
  const QFontMetricsF m(font);
  const double room = right_ - left_;
  QString shown = text;
  if (m.horizontalAdvance(text) > room) {
    if (!elide || room < kLeastShown) return false;
    shown = m.elidedText(text, Qt::ElideRight, room);
  }
  const double width = m.horizontalAdvance(shown);
  p_.setFont(font);
  p_.setPen(colour);
  p_.drawText(QPointF(left_, baseline_), shown);
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

}  // namespace quorvel::display
