// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/trace/TraceCursors.h"

#include "dsp/TraceMeasurements.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

std::optional<double> valueAt(const dsp::TraceHistory& h, const Sweep& s, double x) {
  const int64_t i = int64_t(std::floor(x));
  auto shown = [&](int64_t k) { return h.holds(k) && k >= s.from && k < s.to; };
  if (!shown(i)) return std::nullopt;
  const double frac = x - double(i);
  if (frac == 0) return h.at(i);
  if (!shown(i + 1)) return std::nullopt;
  return h.at(i) + (h.at(i + 1) - h.at(i)) * frac;
}

CursorReadings readCursors(const dsp::TraceHistory& h, const Sweep& s, int rate, std::optional<double> aMs,
                           std::optional<double> bMs) {
  CursorReadings r;
  auto point = [&](double ms) { return s.start + ms * rate / 1000.0; };
  if (aMs) r.a = valueAt(h, s, point(*aMs));
  if (bMs) r.b = valueAt(h, s, point(*bMs));
  if (!aMs || !bMs) return r;
  r.dtMs = *bMs - *aMs;
  const double xa = point(*aMs), xb = point(*bMs);
  const double lo = std::min(xa, xb), hi = std::max(xa, xb);
  const dsp::PointStats between =
      dsp::pointStats(h, std::max(int64_t(std::ceil(lo)), s.from), std::min(int64_t(std::floor(hi)) + 1, s.to));
  if (between.count) {
    r.rms = between.rms();
    r.peakToPeak = between.peakToPeak();
  }
  return r;
}

}  // namespace quorvel::display
