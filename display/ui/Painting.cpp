// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/Painting.h"

namespace quorvel::display {

QFont uiFont(bool bold) {
  QFont f;
  f.setPixelSize(11);
  f.setBold(bold);
  return f;
}

QString dbfsConvention() { return QStringLiteral("dBFS: full-scale sine = 0 (AES17)"); }

QString withMinusSign(QString s) {
  s.replace('-', QChar(0x2212));
  return s;
}

}  // namespace quorvel::display
