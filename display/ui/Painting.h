// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Small drawing helpers every scope picture uses: its text font and the
// minus sign of its numbers.
#pragma once

#include <QFont>
#include <QString>

namespace quorvel::display {

QFont uiFont(bool bold = false);

// Numbers shown to a user carry a true minus sign.
QString withMinusSign(QString s);

// How both scopes read levels, in the words each says it in.
QString dbfsConvention();

}  // namespace quorvel::display
