// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/Painting.h"

#include <QFontMetricsF>
#include <QPen>

namespace quorvel::display {

QFont uiFont(bool bold) {
  QFont f;
  f.setPixelSize(11);
  f.setBold(bold);
  return f;
}

void strokeLine(QPainter& p, const QPolygonF& line, const QColor& colour) {
  QColor halo = colour;
  halo.setAlpha(70);
  QPen pen(halo, 1);
  pen.setCosmetic(true);
  p.setPen(pen);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.translate(0, 1);
  p.drawPolyline(line);
  p.translate(0, -1);
  p.setRenderHint(QPainter::Antialiasing, true);
  pen.setColor(colour);
  p.setPen(pen);
  p.drawPolyline(line);
}

QString dbfsConvention() { return QStringLiteral("dBFS: full-scale sine = 0 (AES17)"); }

QString withMinusSign(QString s) {
  s.replace('-', QChar(0x2212));
  return s;
}

}  // namespace quorvel::display
