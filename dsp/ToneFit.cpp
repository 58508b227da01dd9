// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/ToneFit.h"

#include <algorithm>
#include <cmath>

namespace dsp {

namespace {

struct Fit {
  const std::vector<double>& mag;
  const WindowShape& shape;
  int first, last;  // rows: bins first ... last, at most kRows

  static constexpr int kRows = 5;

  // Least-squares residual of the model with the tone at f bins; with
  // `tone`, also the amplitude it implies. Two unknowns, |c|^2 and Re c^2:
  // solved from their 2 x 2 normal equations, or for |c|^2 alone where the
  // image's column is too small to tell from the tone's.
  double residual(double f, Tone* tone = nullptr) const {
    const int rows = last - first + 1;
    double minus[kRows], plus[kRows];
    shape.run(f, first, rows, minus);
    shape.run(-f, first, rows, plus);
    double aa = 0, ab = 0, bb = 0, ay = 0, by = 0, yy = 0;
    for (int r = 0; r < rows; ++r) {
      const double a = minus[r] * minus[r] + plus[r] * plus[r], b = 2 * minus[r] * plus[r];
      const double y = mag[size_t(first + r)] * mag[size_t(first + r)];
      aa += a * a, ab += a * b, bb += b * b, ay += a * y, by += b * y, yy += y * y;
    }
    const double det = aa * bb - ab * ab;
    double c2 = ay / aa, image = 0;
    if (det > 1e-12 * aa * bb) {
      c2 = (ay * bb - by * ab) / det;
      image = (by * aa - ay * ab) / det;
    }
    if (tone) {
      // The kernel carries the window's gain, so |c| is A / 2 in the
      // samples' own units, fractions of full scale.
      tone->bin = f;
      tone->amplitude = 2 * std::sqrt(std::max(c2, 0.0));
    }
    // |y - c2 a - image b|^2, expanded.
    return yy - 2 * (c2 * ay + image * by) + c2 * c2 * aa + 2 * c2 * image * ab + image * image * bb;
  }
};

}  // namespace

void transformMagnitudes(const std::vector<double>& amplitudePercent, int points, std::vector<double>& out) {
  out.resize(amplitudePercent.size());
  const double scale = points / 2.0 / 1.85;
  for (size_t k = 0; k < out.size(); ++k) {
    const double a = amplitudePercent[k] / 100 + 1;
    out[k] = std::isfinite(a) && a > 0 ? a * scale : 0.0;
  }
}

std::optional<Tone> strongestTone(const std::vector<double>& mag, const WindowShape& shape) {
  const int bins = int(mag.size());
  int peak = -1;
  for (int k = 1; k + 1 < bins; ++k)
    if (mag[size_t(k)] > 0 && mag[size_t(k)] >= mag[size_t(k - 1)] && mag[size_t(k)] > mag[size_t(k + 1)] &&
        (peak < 0 || mag[size_t(k)] > mag[size_t(peak)]))
      peak = k;
  if (peak < 0) return std::nullopt;
  const Fit fit{mag, shape, std::max(0, peak - Fit::kRows / 2), std::min(bins - 1, peak + Fit::kRows / 2)};

  // The tone lies within half a bin of its strongest bin (a little more when
  // its image pulls): a coarse scan finds the valley, a golden-section
  // search its bottom.
  constexpr double kReach = 0.6, kStep = 0.05;
  double best = peak, bestResidual = fit.residual(peak);
  for (double f = peak - kReach; f <= peak + kReach + 1e-9; f += kStep) {
    const double r = fit.residual(f);
    if (r < bestResidual) best = f, bestResidual = r;
  }
  const double golden = (std::sqrt(5.0) - 1) / 2;
  double lo = best - kStep, hi = best + kStep;
  double x1 = hi - golden * (hi - lo), x2 = lo + golden * (hi - lo);
  double r1 = fit.residual(x1), r2 = fit.residual(x2);
  while (hi - lo > 1e-9) {
    if (r1 < r2) {
      hi = x2, x2 = x1, r2 = r1;
      x1 = hi - golden * (hi - lo);
      r1 = fit.residual(x1);
    } else {
      lo = x1, x1 = x2, r1 = r2;
      x2 = lo + golden * (hi - lo);
      r2 = fit.residual(x2);
    }
  }
  Tone tone;
  fit.residual((lo + hi) / 2, &tone);
  return tone;
}

}  // namespace dsp
