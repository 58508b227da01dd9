// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Numbers as the exports write them: a fixed number of decimals, a dot
// whatever the user's locale, no grouping, and no sign on a value that
// rounds to zero ("0.00", never "-0.00"). A value exactly halfway between
// two results rounds away from zero (1378.125 to two decimals is
// "1378.13"), as the window's own read-outs and the text exports always
// have; the C library would round it to even.
#pragma once

#include <string>

namespace dsp {

// Not finite: "inf", "-inf" or "nan".
std::string fixedText(double v, int decimals);
// Not finite: "none".
std::string fixedOrNone(double v, int decimals);
// A trace's point, exactly: a value on the 16-bit grid (n / 32768, what the
// program sends) in all the decimals it has, so that n comes back exactly
// ("0.000030517578125", "-0.5"); any other value in the fewest decimals
// that give back the same single-precision number. Not finite: "none".
std::string sampleText(float v);

}  // namespace dsp
