// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/Harmonics.h"

#include "dsp/LeastSquares.h"

#include <algorithm>
#include <cmath>

namespace dsp {

namespace {

// Bins this close to the fundamental hold its main lobe: there the
// subtraction of its model would leave more rounding than signal.
constexpr double kMainLobe = 2.5;
// A harmonic beyond the band is fitted on the bins this close to it.
constexpr int kRowsEachSide = 3;

}  // namespace

int thdDecimals(const HarmonicAnalysis& h) {
  const double unit = h.thdIsBound ? h.thd * 100 / 10 : 3 * h.thdUncertainty * 100;
  if (!(unit > 0)) return 4;
  const double digits = -std::log10(unit);
  return std::clamp(int(h.thdIsBound ? std::ceil(digits) : std::floor(digits)), 0, 5);
}

HarmonicAnalysis HarmonicAnalyser::analyse(const std::vector<double>& mag, const Tone& fundamental,
                                           const WindowShape& shape, double binHz) {
  HarmonicAnalysis out;
  const int bins = int(mag.size());
  if (fundamental.amplitude <= 0 || bins < 8) {
    out.why = NoThd::NoTone;
    return out;
  }
  const double f = fundamental.bin, c2 = fundamental.amplitude * fundamental.amplitude / 4;  // |c|^2
  if (f < kLowestFundamentalBins) {
    out.why = NoThd::FundamentalTooLow;
    return out;
  }
  std::vector<int> orders;
  for (int n = 2; n <= kHighestHarmonic && int(std::lround(n * f)) + kRowsEachSide <= bins - 1; ++n)
    orders.push_back(n);
  if (orders.empty()) {
    out.why = NoThd::NoHarmonicInFrame;
    return out;
  }
  out.highestOrder = orders.back();

  // Every kernel along bins 0 ... bins - 1: the fundamental and its image,
  // each harmonic and its image.
  const size_t count = size_t(bins);
  kernels_.resize((2 + 2 * orders.size()) * count);
  auto kernel = [&](size_t which) { return &kernels_[which * count]; };
  shape.pair(f, 0, bins, kernel(0), kernel(1));
  for (size_t h = 0; h < orders.size(); ++h) shape.pair(orders[h] * f, 0, bins, kernel(2 + 2 * h), kernel(3 + 2 * h));
  const double* fm = kernel(0);
  const double* fp = kernel(1);
  // Rows: every bin of the band (20 Hz to 20 kHz) and the bins around each
  // harmonic, but the fundamental's main lobe. (The leakage alternates in
  // sign from bin to bin: a sample of the bins would see it lopsided.)
  const int first = std::max(1, int(std::ceil(20.0 / binHz)));
  const int last = std::min(bins - 1, int(std::floor(20000.0 / binHz)));
  std::vector<int>& rows = rows_;
  rows.clear();
  int bandRows = 0;
  for (int k = 1; k < bins; ++k) {
    if (std::abs(k - f) <= kMainLobe) continue;
    const bool inBand = k >= first && k <= last;
    bool nearHarmonic = false;
    for (int n : orders) nearHarmonic = nearHarmonic || std::abs(k - int(std::lround(n * f))) <= kRowsEachSide;
    if (inBand || nearHarmonic) rows.push_back(k);
    bandRows += inBand;
  }
  // Columns: how the fundamental meets its image (Re c^2), a noise floor
  // per bin, then |c_n|^2, Re c_n and Im c_n of each harmonic (the last two
  // scaled by the fundamental's unknown phase, which they absorb). Target:
  // what is left of each bin once the fundamental's own leakage is taken away.
  // Each row is weighted by the inverse of its power's variance in the
  // noise around the fundamental, P a bin: 2 m P + P^2 for a bin whose power
  // without the noise is m, and a part in a million of m for the model's
  // own rounding. Unweighted, the few rows under the fundamental's leakage,
  // far noisier than the rest, would count as much and their noise would
  // pass for harmonics. m is what the model says, not the bin's own power
  // (weights that follow the noise would bend the fit): the fundamental's
  // leakage first, then, fitted once, all of the model.
  const double noise = fundamental.floorPower;
  const size_t columns = 2 + 3 * orders.size();
  if (rows.size() < 2 * columns) {
    out.why = NoThd::NoHarmonicInFrame;
    return out;
  }
  LeastSquares& ls = fit_;
  std::vector<double>& modelled = modelled_;
  modelled.resize(rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    const size_t k = size_t(rows[r]);
    modelled[r] = c2 * (fm[k] * fm[k] + fp[k] * fp[k]);
  }
  auto column = [&](size_t k, size_t j) {
    if (j == 0) return 2 * fm[k] * fp[k];
    if (j == 1) return 1.0;
    const size_t h = (j - 2) / 3;
    const double hm = kernel(2 + 2 * h)[k], hp = kernel(3 + 2 * h)[k];
    switch ((j - 2) % 3) {
      case 0:
        return hm * hm + hp * hp;
      case 1:
        return 2 * (hm + hp) * (fm[k] + fp[k]);
      default:
        return 2 * (hm - hp) * (fm[k] - fp[k]);
    }
  };
  double residual = 0;
  for (int pass = 0; pass < 2; ++pass) {
    ls.reset(rows.size(), columns);
    for (size_t r = 0; r < rows.size(); ++r) {
      const size_t k = size_t(rows[r]);
      const double m = std::max(modelled[r], 0.0);
      const double w = 1 / std::sqrt(2 * m * noise + noise * noise + 1e-12 * m * m);
      for (size_t j = 0; j < columns; ++j) ls.at(r, j) = w * column(k, j);
      ls.target(r) = w * (mag[k] * mag[k] - c2 * (fm[k] * fm[k] + fp[k] * fp[k]));
    }
    residual = ls.solve(1e-9);
    if (pass == 0)
      for (size_t r = 0; r < rows.size(); ++r)
        for (size_t j = 0; j < columns; ++j) modelled[r] += ls.solution()[j] * column(size_t(rows[r]), j);
  }
  const std::vector<double>& x = ls.solution();
  // The noise of each unknown: (A'WA)^-1, widened by as much as the
  // weighted residual exceeds what the noise explains.
  const std::vector<double> factors = ls.varianceFactors();
  const double perRow = std::max(1.0, residual / double(rows.size() - columns));
  double sum = 0, variance = 0;
  for (size_t h = 0; h < orders.size(); ++h) {
    const double amplitude = 2 * std::sqrt(std::max(x[2 + 3 * h], 0.0));
    out.harmonics.push_back({orders[h], orders[h] * f, amplitude});
    sum += amplitude * amplitude;
    variance += 16 * perRow * factors[2 + 3 * h];  // of A_n^2 = 4 |c_n|^2
  }
  // THD^2 = sum / A^2, its standard uncertainty sqrt(variance) / A^2; THD's
  // is half that over THD. A reading is given only when three of those are
  // within half a dB, THD^2 at least 26 of its own; else an upper bound.
  const double a2 = fundamental.amplitude * fundamental.amplitude, spread2 = std::sqrt(variance) / a2;
  out.thd = std::sqrt(sum / a2);
  out.thdIsBound = !(sum / a2 > 26 * spread2);
  if (out.thdIsBound) {
    out.thd = std::sqrt(std::max(sum / a2, 0.0) + 3 * spread2);
    const double unit = std::pow(10.0, -thdDecimals(out)) / 100;
    out.thd = std::ceil(out.thd / unit) * unit;
  } else {
    out.thdUncertainty = spread2 / (2 * out.thd);
  }

  // THD+N: the harmonics and the noise floor the fit found in every bin of
  // the band. White noise of power s^2 puts s^2 sum(w^2) into each bin, and
  // N / 2 bins span the whole band, so P per bin over the band is noise of
  // the power 2 P bins / (N sum(w^2)) against the fundamental's A^2 / 2.
  //
  // Noise adds its power to a bin, and 2 Re(conj(F_k) N_k), its product
  // with the fundamental's leakage, whose phase the frame does not carry.
  // That product averages out, but with this window's leakage (some 34 dB
  // below the tone in all) it wanders by more than the noise itself once
  // that is about 60 dB below the tone. Where the floor found is not at
  // least twice its own standard error, only an upper bound is given.
  const double spread = std::sqrt(perRow * factors[1]);
  out.thdPlusNoiseIsBound = !(x[1] > 2 * spread);
  const double floor = out.thdPlusNoiseIsBound ? std::max(x[1], 0.0) + 2 * spread : x[1];
  const double noiseRatio = 4 * floor * bandRows / (shape.points() * shape.powerGain()) / (4 * c2);
  out.thdPlusNoise = std::sqrt(sum / a2 + noiseRatio);
  return out;
}

}  // namespace dsp
