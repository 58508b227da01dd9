// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The spectrograms' colour map: dark and blue-violet for quiet, through red
// and orange, to pale yellow for loud. Lightness rises steadily from black
// to pale yellow, so equal steps in level read as equal steps in
// brightness, also in grey. The frame scope and the pictures quorvel-analyse
// writes colour by it.
#pragma once

#include <cstdint>

namespace dsp {

// The colour of a level a fraction t (0 ... 1, clamped) up the level range,
// as 0xffRRGGBB (opaque; the layout of Qt's QRgb).
std::uint32_t levelColour(double t);

}  // namespace dsp
