// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The frame scope's scale: how the analyser turns a bin's power |X_k|^2 of
// an unscaled transform of `points` samples into the two values of a frame
// point. a = |X_k| / (points / 2) * 1.85 is close to a tone's amplitude as a
// fraction of full scale (1.85 is near the Hamming window's correction, see
// ToneFit), the level is 20 log10 a (a full-scale sine reads 0 dB), and
// value 1 is a in percent minus 100. Whatever sends or writes frames (the
// program's analyser, quorvel-analyse) converts here, in extended
// precision, so the same power gives the same digits everywhere.
#pragma once

#include <cmath>

namespace dsp {

inline constexpr long double kAnalyserGain = 1.85L;
// A bin with no power has no finite level: it reads this floor, far below
// anything a 16-bit signal reaches.
inline constexpr long double kFrameFloorDb = -200.0L;

// `samples` is the length the level is divided by: the transform's, or the
// shorter block a short capture gave it (at least 2).
inline long double frameAmplitude(long double power, int samples) {
  const long double half = samples >> 1 ? static_cast<long double>(samples >> 1) : 1.0L;
  long double a = power > 0 ? std::sqrt(power) : 0.0L;
  a = a / half;
  return a * kAnalyserGain;
}
inline long double frameLevelDb(long double amplitude) {
  return amplitude > 0 ? 20.0L * std::log10(amplitude) : kFrameFloorDb;
}
inline long double frameAmplitudePercent(long double amplitude) { return amplitude * 100 - 100; }

}  // namespace dsp
