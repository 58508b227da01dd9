// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Drift.h"

#include <cmath>

#include "measure/ImpulseResponse.h"

namespace measure {

bool CorrectDrift(const std::vector<float>& captured, double origin, double span,
                  const std::function<bool(const std::vector<float>&, double&)>& find, double& drift,
                  std::vector<float>& corrected) {
  corrected = captured;
  drift = 0;
  for (int pass = 0; pass < 3; ++pass) {
    double more = 0;
    if (!find(corrected, more)) return false;
    if (std::abs(more) * span <= 0.01) break;
    drift = (1 + drift) * (1 + more) - 1;
    corrected = Resample(captured, origin, 1 + drift);
  }
  return true;
}

}  // namespace measure
