#include "display/spectrum/ToneFit.h"

#include "display/spectrum/LeastSquares.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

namespace {

struct Fit {
  const std::vector<double>& mag;
  const WindowShape& shape;
  int first, last;  // rows: bins first ... last

  // Least-squares residual of the model with the tone at f bins; with
  // `tone`, also the amplitude it implies.
  double residual(double f, Tone* tone = nullptr) const {
    LeastSquares ls(size_t(last - first + 1), 2);
    for (int k = first; k <= last; ++k) {
      const size_t r = size_t(k - first);
      const double minus = shape.at(k - f), plus = shape.at(k + f);
      ls.at(r, 0) = minus * minus + plus * plus;  // |c|^2
      ls.at(r, 1) = 2 * minus * plus;             // Re c^2
      ls.target(r) = mag[size_t(k)] * mag[size_t(k)];
    }
    const double rest = ls.solve();
    if (tone) {
      // The kernel carries the window's gain, so |c| is A / 2 in the
      // samples' own units, fractions of full scale.
      tone->bin = f;
      tone->amplitude = 2 * std::sqrt(std::max(ls.solution()[0], 0.0));
    }
    return rest;
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
  if (peak < 0)
    return std::nullopt;
  const Fit fit{mag, shape, std::max(0, peak - 2), std::min(bins - 1, peak + 2)};

  // The tone lies within half a bin of its strongest bin (a little more when
  // its image pulls): a coarse scan finds the valley, a golden-section
  // search its bottom.
  constexpr double kReach = 0.6, kStep = 0.05;
  double best = peak, bestResidual = fit.residual(peak);
  for (double f = peak - kReach; f <= peak + kReach + 1e-9; f += kStep) {
    const double r = fit.residual(f);
    if (r < bestResidual)
      best = f, bestResidual = r;
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

}  // namespace quorvel::display
