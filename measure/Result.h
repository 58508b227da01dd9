// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a measurement found. A figure that does not apply, or that could
// not be estimated, is NaN (written "none").
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace measure {

inline constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct ResponsePoint {
  double hz = 0;
  double magnitudeDb = kNone;   // re the stimulus: 0 dB passes it unchanged
  double phaseDeg = kNone;      // with the delay removed, -180 ... 180
  double groupDelayMs = kNone;  // with the delay removed
  double coherence = kNone;     // noise only: 0 ... 1
};

struct DistortionPoint {
  double hz = 0;                                        // the fundamental
  double harmonicDb[4] = {kNone, kNone, kNone, kNone};  // H2 ... H5 re the fundamental
  double thdPercent = kNone;                            // of H2 ... H5
};

struct Result {
  std::string stimulus;  // what was played (Plan::describe)
  double levelDbfs = kNone;
  unsigned rate = 0;
  double delaySamples = kNone;  // from the played first sample to its arrival
  double delayMs = kNone;
  double snrDb = kNone;
  double driftPpm = kNone;  // the input's clock against the output's; + is faster
  // Captured samples at full scale while the stimulus came back: the input
  // clipped, and what came back is not the device's linear response.
  std::size_t clippedSamples = 0;
  std::vector<ResponsePoint> response;
  std::vector<DistortionPoint> distortion;
  // The linear impulse response from the moment the stimulus was played
  // (its first sample at index 0 had it arrived at once).
  std::vector<float> impulse;
};

}  // namespace measure
