// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The scope's colours: a dark, low-glare face for long viewing, with the
// data in the brightest colours and the grid kept in the background.
#pragma once

#include <QColor>

namespace quorvel::display::palette {

inline const QColor window{0x0e, 0x12, 0x16};
inline const QColor plotTop{0x0d, 0x12, 0x17};
inline const QColor plotBottom{0x08, 0x0b, 0x0e};
inline const QColor frame{0x33, 0x40, 0x4b};
inline const QColor gridMinor{0x16, 0x1d, 0x23};
inline const QColor gridMajor{0x24, 0x2f, 0x38};
inline const QColor gridZero{0x3a, 0x48, 0x54};
inline const QColor label{0x86, 0x95, 0xa2};
inline const QColor text{0xe3, 0xea, 0xf0};
inline const QColor dimText{0x5d, 0x6b, 0x77};
inline const QColor trace{0x5f, 0xe3, 0x9a};
inline const QColor spectrum{0x58, 0xc4, 0xff};
inline const QColor peakHold{0xff, 0xb4, 0x54};
inline const QColor strongest{0xff, 0xd7, 0x80};
inline const QColor average{0xd4, 0xf5, 0x8c};
inline const QColor marker{0xff, 0x86, 0xd0};
inline const QColor harmonic{0x8f, 0xe8, 0xd6};
inline const QColor cursor{0xff, 0xff, 0xff, 0x50};
inline const QColor warning{0xff, 0x6b, 0x6b};
inline const QColor badge{0x2b, 0x6c, 0xb0};
inline const QColor trigger{0xff, 0xa8, 0x3e};
inline const QColor timeCursor{0xd2, 0x9c, 0xff};

}  // namespace quorvel::display::palette
