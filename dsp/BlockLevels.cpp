// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/BlockLevels.h"

#include "dsp/TraceMeasurements.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace dsp {

BlockLevels MeasureBlock(const void* data, std::size_t bytes, bool sixteenBit) noexcept {
  const auto* p = static_cast<const unsigned char*>(data);
  const std::size_t n = sixteenBit ? bytes / 2 : bytes;
  double peak = 0, sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double v;
    if (sixteenBit) {
      std::int16_t s;
      std::memcpy(&s, p + 2 * i, 2);
      v = s / 32768.0;
    } else {
      v = (p[i] - 128) / 128.0;
    }
    peak = std::fmax(peak, std::fabs(v));
    sum += v * v;
  }
  return {dbfs(peak), rmsDbfs(n ? std::sqrt(sum / static_cast<double>(n)) : 0.0)};
}

}  // namespace dsp
