// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Quantizer.h"

#include <cmath>

namespace measure {

std::int16_t Quantizer::operator()(float x) noexcept {
  double v = static_cast<double>(x) * 32768.0;
  if (dither_) v += random_.uniform() - random_.uniform();
  v = std::nearbyint(v);
  if (v > 32767) v = 32767;
  if (v < -32768) v = -32768;
  return static_cast<std::int16_t>(v);
}

}  // namespace measure
