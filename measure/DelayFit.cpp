// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/DelayFit.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "measure/ImpulseResponse.h"
#include "measure/TransformPair.h"

namespace measure {

DelayEstimate FitDelay(const std::vector<float>& ir, double rate, const DelayBand& band, DelayFitOptions options) {
  std::size_t n = 1;
  while (n < 4 * ir.size() || n < 8192) n *= 2;
  TransformPair fft(n);
  std::fill(fft.time(), fft.time() + n, 0.0f);
  std::copy(ir.begin(), ir.end(), fft.time());
  fft.forward();
  const std::size_t bins = n / 2 + 1;
  std::vector<std::complex<double>> h(bins);
  const double binHz = rate / static_cast<double>(n);
  for (std::size_t k = 0; k < bins; ++k) {
    h[k] = std::complex<double>(fft.spectrum()[k]);
    if (options.edge != nullptr && k > 0) h[k] /= options.edge->at(static_cast<double>(k) * binHz);
  }

  // log |H|, held at its edge values outside the trusted band and kept
  // above a floor, so that the cepstrum sees no holes.
  const auto lo = static_cast<std::size_t>(std::ceil(band.trustFromHz / binHz));
  const auto hi = std::min(bins - 1, static_cast<std::size_t>(band.trustToHz / binHz));
  double peak = 0;
  for (std::size_t k = lo; k <= hi; ++k) peak = std::max(peak, std::abs(h[k]));
  if (peak <= 0 || lo >= hi) return {};
  std::vector<double> logMag(bins);
  for (std::size_t k = 0; k < bins; ++k) {
    const std::size_t at = std::clamp(k, lo, hi);
    logMag[k] = std::log(std::max(std::abs(h[at]), 1e-10 * peak));
  }
  // Beyond the band the magnitude is not measured, yet what it does there
  // turns the phase inside like a delay would. A digital filter's
  // magnitude falls towards the Nyquist frequency as cos(w/2)^m and
  // towards 0 Hz as sin(w/2)^m, m the order of its zero there (2 for a
  // bilinear second-order low-pass or high-pass; 0 for none): m is fitted
  // on the band's outer sixth of an octave at each end, rounded to a whole
  // order, and the magnitude carried on so.
  auto extend = [&](std::size_t from, std::size_t to, std::size_t edge, bool top) {
    auto shape = [&](std::size_t k) {
      const double half = std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
      return std::log(std::max(1e-12, top ? std::cos(half) : std::sin(half)));
    };
    double sx = 0, sy = 0, sxx = 0, sxy = 0, count = 0;
    for (std::size_t k = from; k <= to; ++k) {
      const double x = shape(k), y = logMag[k];
      sx += x, sy += y, sxx += x * x, sxy += x * y, count += 1;
    }
    const double var = sxx - sx * sx / count;
    const double order = var > 0 ? std::clamp(std::round((sxy - sx * sy / count) / var), 0.0, 8.0) : 0.0;
    const std::size_t first = top ? hi + 1 : 0, last = top ? bins - 1 : lo - 1;
    for (std::size_t k = first; k <= last && k < bins; ++k)
      logMag[k] = std::max(logMag[edge] + order * (shape(k) - shape(edge)), std::log(1e-10 * peak));
  };
  extend(std::max(lo, static_cast<std::size_t>(static_cast<double>(hi) / std::exp2(1.0 / 6))), hi, hi, true);
  if (lo > 0)
    extend(lo, std::min(hi, static_cast<std::size_t>(static_cast<double>(lo) * std::exp2(1.0 / 6))), lo, false);

  // Real cepstrum, folded onto positive quefrencies: its transform is the
  // minimum-phase log spectrum, whose imaginary part is the minimum phase.
  for (std::size_t k = 0; k < bins; ++k) fft.spectrum()[k] = static_cast<float>(logMag[k]);
  fft.inverse();
  float* c = fft.time();
  const float scale = 1.0f / static_cast<float>(n);
  c[0] *= scale;
  for (std::size_t i = 1; i < n / 2; ++i) c[i] *= 2 * scale;
  c[n / 2] *= scale;
  std::fill(c + n / 2 + 1, c + n, 0.0f);
  fft.forward();
  if (!options.minimumPhase)
    for (std::size_t k = 0; k < bins; ++k) fft.spectrum()[k] = 0;

  // The excess response, turned back by `around` so that what is left to
  // find is small.
  const auto from = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(band.fitFromHz / binHz)));
  const auto to = std::min(bins - 1, static_cast<std::size_t>(band.fitToHz / binHz));
  if (from >= to) return {};
  const double radiansPerBin = 2 * std::numbers::pi / static_cast<double>(n);
  std::vector<std::complex<double>> e(bins);
  std::vector<double> weight(bins), logHz(bins);
  for (std::size_t k = from; k <= to; ++k) {
    const double phase = static_cast<double>(fft.spectrum()[k].imag());
    e[k] = h[k] * std::polar(1.0, radiansPerBin * static_cast<double>(k) * options.around - phase);
    weight[k] = std::norm(h[k]);
    logHz[k] = std::log(static_cast<double>(k) * binHz);
  }
  const std::size_t terms = options.logTerm ? 3 : 2;
  // Solves the weighted normal equations of rows (a, target) for up to 3 unknowns.
  struct Normal {
    double m[3][3] = {}, r[3] = {};
    void add(const double* a, double target, double w, std::size_t t) {
      for (std::size_t i = 0; i < t; ++i) {
        r[i] += w * a[i] * target;
        for (std::size_t j = 0; j < t; ++j) m[i][j] += w * a[i] * a[j];
      }
    }
    bool solve(double* x, std::size_t t) {
      for (std::size_t c = 0; c < t; ++c) {
        std::size_t p = c;
        for (std::size_t i = c + 1; i < t; ++i)
          if (std::abs(m[i][c]) > std::abs(m[p][c])) p = i;
        if (std::abs(m[p][c]) < 1e-300) return false;
        std::swap(m[p], m[c]);
        std::swap(r[p], r[c]);
        for (std::size_t i = 0; i < t; ++i) {
          if (i == c) continue;
          const double f = m[i][c] / m[c][c];
          for (std::size_t j = c; j < t; ++j) m[i][j] -= f * m[c][j];
          r[i] -= f * r[c];
        }
      }
      for (std::size_t i = 0; i < t; ++i) x[i] = r[i] / m[i][i];
      return true;
    }
  };

  // First estimate: the phase steps across `step` bins, delay = -step phase
  // / (step radians per bin of delay), on (1, ln f).
  const std::size_t step = std::max<std::size_t>(1, n / 1024);
  double tau = 0, b = 0;
  {
    Normal normal;
    for (std::size_t k = from + step; k <= to; ++k) {
      const double d = std::arg(e[k] * std::conj(e[k - step]));
      const double delay = -d / (radiansPerBin * static_cast<double>(step));
      const double a[2] = {1, 0.5 * (logHz[k] + logHz[k - step])};
      normal.add(a, delay, std::sqrt(weight[k] * weight[k - step]), terms - 1);
    }
    double x[2] = {0, 0};
    if (!normal.solve(x, terms - 1)) return {};
    tau = x[0];
    b = options.logTerm ? x[1] : 0;
  }
  // The line's offset, then three refinements on the wrapped residuals.
  auto model = [&](std::size_t k) { return -radiansPerBin * static_cast<double>(k) * (tau + b * logHz[k]); };
  std::complex<double> mean = 0;
  for (std::size_t k = from; k <= to; ++k) mean += weight[k] * e[k] * std::polar(1.0, -model(k));
  double theta = std::arg(mean);
  for (int pass = 0; pass < 3; ++pass) {
    Normal normal;
    for (std::size_t k = from; k <= to; ++k) {
      const double residual = std::arg(e[k] * std::polar(1.0, -(theta + model(k))));
      const double slope = -radiansPerBin * static_cast<double>(k);
      const double a[3] = {1, slope, slope * logHz[k]};
      normal.add(a, residual, weight[k], terms);
    }
    double x[3] = {0, 0, 0};
    if (!normal.solve(x, terms)) return {};
    theta += x[0];
    tau += x[1];
    if (options.logTerm) b += x[2];
  }
  DelayEstimate estimate;
  estimate.samples = tau + options.around;
  estimate.perLogHz = b;
  estimate.valid = std::isfinite(estimate.samples) && std::isfinite(b);
  return estimate;
}

}  // namespace measure
