// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/TimeWeighting.h"

#include <cmath>

namespace dsp {

namespace {
constexpr double kImpulseFall = 1.5;  // s, the hold's fall
}

char timeWeightingLetter(TimeWeighting t) {
  return t == TimeWeighting::Fast ? 'F' : t == TimeWeighting::Slow ? 'S' : 'I';
}

double timeConstant(TimeWeighting t) {
  return t == TimeWeighting::Fast ? 0.125 : t == TimeWeighting::Slow ? 1.0 : 0.035;
}

TimeWeightingDetector::TimeWeightingDetector(TimeWeighting t, double rate)
    : alpha_(1 - std::exp(-1 / (timeConstant(t) * rate))), impulse_(t == TimeWeighting::Impulse) {
  if (impulse_) fall_ = std::exp(-1 / (kImpulseFall * rate));
}

}  // namespace dsp
