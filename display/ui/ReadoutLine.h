// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One line of text pieces across a scope picture, laid out so that none
// covers another at any width: pieces are set from the right end leftwards,
// then from the left end rightwards in the room that is left. A piece that
// does not fit is left out, or cut short with an ellipsis where that is
// asked for. Every piece drawn leaves its rectangle in a list, so that the
// picture can tell where its texts are (TextBox). A piece the pixels hold
// already is not drawn again (PlotBackground::kept).
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QHash>
#include <QStaticText>
#include <QString>

#include <optional>
#include <vector>

namespace quorvel::display {

// Where a text of a picture was drawn, and what it is.
struct TextBox {
  QString what;
  QRectF rect;
};

// Texts laid out once and kept from one picture to the next: most read-outs
// change seldom, and laying a text out costs more than drawing it.
class TextCache {
 public:
  const QStaticText& get(const QString& text, const QFont& font);
  // The text cut short with an ellipsis to fit width, laid out. Cutting
  // shapes the text again, so the cut is kept too: a line whose room stays
  // the same from one picture to the next cuts its text once.
  const QStaticText& elided(const QString& text, const QFont& font, double width);
  // The font's ascent and descent. Every text of every picture needs them,
  // and a font's metrics go through its engine each time they are asked.
  struct Height {
    double ascent = 0, descent = 0;
  };
  Height heightOf(const QFont& font);

 private:
  static constexpr int kMost = 512;  // then it starts afresh
  // A text cut to a width in whole pixels.
  struct Cut {
    int width;
    QString text;
    bool operator==(const Cut&) const = default;
    friend size_t qHash(const Cut& c, size_t seed = 0) { return qHashMulti(seed, c.width, c.text); }
  };
  // Regular and bold, by their texts: a lookup builds no key.
  QHash<QString, QStaticText> texts_[2];
  QHash<Cut, QString> cuts_[2];
  struct Measured {
    QFont font;
    Height height;
    bool known = false;
  };
  Measured heights_[2];
};

class PlotBackground;

class ReadoutLine {
 public:
  // Pieces go between left and right, on the baseline; background tells
  // which the pixels hold already.
  ReadoutLine(QPainter& p, double left, double right, double baseline, std::vector<TextBox>& boxes, TextCache& cache,
              PlotBackground& background);

  // From the right end, whole or not at all; false when left out.
  bool fromRight(const QString& text, const QColor& colour, const QFont& font, const QString& what);
  // From the left end; cut short with an ellipsis when elide, else whole or
  // not at all. False when left out.
  bool fromLeft(const QString& text, const QColor& colour, const QFont& font, const QString& what, bool elide = true);
  // A badge from the right end: text centred in a rounded box of back,
  // padding wider than the text and height high; false when left out.
  bool badgeRight(const QString& text, const QColor& colour, const QColor& back, const QFont& font, double padding,
                  double height, const QString& what);

  static constexpr double kGap = 14;  // between pieces

 private:
  std::optional<QRectF> reserveRight(double width, double height, const QString& what);
  QRectF boxOf(double x, double width, const QFont& font) const;
  void draw(const QStaticText& text, double x, const QColor& colour, const QFont& font);

  QPainter& p_;
  double left_, right_, baseline_;
  std::vector<TextBox>& boxes_;
  TextCache& cache_;
  PlotBackground& background_;
};

}  // namespace quorvel::display
