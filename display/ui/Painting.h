// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Small drawing helpers every scope picture uses: its text font and the
// line style of the data.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPolygonF>
#include <QString>

namespace quorvel::display {

QFont uiFont(bool bold = false);

// A smooth 1-pixel line over a faint aliased copy one pixel lower: it reads
// as a line of about 1.5 pixels at a small part of the cost of a wide pen,
// which Qt strokes as a path of its own (some 30 ms for a 2048-point trace).
void strokeLine(QPainter& p, const QPolygonF& line, const QColor& colour);

// Numbers shown to a user carry a true minus sign.
QString withMinusSign(QString s);

// How both scopes read levels, in the words each says it in.
QString dbfsConvention();

}  // namespace quorvel::display
