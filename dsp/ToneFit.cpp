// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/ToneFit.h"

#include "dsp/FrameScale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <span>

namespace dsp {

namespace {

// Bins either side of the strongest one that the fit takes.
constexpr int kRowsEachSide = 3;
constexpr int kFitRows = 2 * kRowsEachSide + 1;
// The noise floor around a tone: bins this far either side, without the
// tone's main lobe.
constexpr int kFloorReach = 48;
constexpr int kMainLobe = 4;
// The fit's rows, or the floor's bins when the model is laid over them.
constexpr int kMostRows = 2 * kFloorReach + 1;
// The strongest bin of white noise in a frame lies some 10 dB above the
// median of the bins; a tone's must stand this far above the floor.
constexpr double kProminenceDb = 15;
// Three standard uncertainties beyond these, and the bins are not read as a tone.
constexpr double kCoarsestBins = 0.04;  // under 1 Hz at 44100 Hz and 2048 points
constexpr double kCoarsestDb = 1;
// Below this many bins, how good a fit is taken to be at best.
constexpr double kCrowdedBins = 2.5;
constexpr double kCrowdedBinError = 0.005, kCrowdedDbError = 0.05;

// The model's parameters: f, |c|^2 and Re c^2.
constexpr int kParameters = 3;

// The least-squares fit of rows first ... last: with the tone at f, each
// bin's power is |c|^2 (Km^2 + Kp^2) + Re c^2 2 Km Kp, Km = K(k - f) and
// Kp = K(k + f). Each row is weighted by the inverse of its power's
// variance in noise of power P a bin, 2 |X_k|^2 P + P^2: the small bins
// either side of a tone near a whole bin tell where it lies, and unweighted
// they would be lost beside the large ones.
class Fit {
 public:
  Fit(const std::vector<double>& mag, const WindowShape& shape, int first, int last, double noise)
      : mag_(mag), shape_(shape), first_(first), rows_(last - first + 1) {
    for (int r = 0; r < rows_; ++r) weight_[size_t(r)] = 1 / (2 * power(r) * noise + noise * noise);
  }

  int rows() const { return rows_; }
  double power(int r) const {
    const double m = mag_[size_t(first_ + r)];
    return m * m;
  }
  double weight(int r) const { return weight_[size_t(r)]; }

  // The least residual with the tone at f; with q, the parameters that give it.
  double residual(double f, double* q = nullptr) const {
    double a[kMostRows], b[kMostRows];
    columns(f, a, b);
    return residual(f, a, b, q);
  }
  // The same from the columns at f.
  double residual(double f, const double* a, const double* b, double* q = nullptr) const {
    double aa = 0, ab = 0, bb = 0, ay = 0, by = 0, yy = 0;
    for (int r = 0; r < rows_; ++r) {
      const double y = power(r), w = weight(r);
      aa += w * a[r] * a[r], ab += w * a[r] * b[r], bb += w * b[r] * b[r];
      ay += w * a[r] * y, by += w * b[r] * y, yy += w * y * y;
    }
    // From the 2 x 2 normal equations, or for |c|^2 alone where the image's
    // column is too small to tell from the tone's.
    const double det = aa * bb - ab * ab;
    double c2 = aa > 0 ? ay / aa : 0, image = 0;
    if (det > 1e-12 * aa * bb) {
      c2 = (ay * bb - by * ab) / det;
      image = (by * aa - ay * ab) / det;
    }
    if (q) q[0] = f, q[1] = c2, q[2] = image;
    // |y - c2 a - image b|^2, expanded.
    return std::max(0.0, yy - 2 * (c2 * ay + image * by) + c2 * c2 * aa + 2 * c2 * image * ab + image * image * bb);
  }

  // The model's power in each row for parameters q.
  void model(const double* q, double* out) const {
    double a[kMostRows], b[kMostRows];
    columns(q[0], a, b);
    for (int r = 0; r < rows_; ++r) out[r] = q[1] * a[r] + q[2] * b[r];
  }

  // Each row's coefficients of |c|^2 and of Re c^2 with the tone at f: the
  // same whatever the weights.
  void columns(double f, double* a, double* b) const {
    double minus[kMostRows], plus[kMostRows];
    shape_.pair(f, first_, rows_, minus, plus);
    for (int r = 0; r < rows_; ++r) {
      a[r] = minus[r] * minus[r] + plus[r] * plus[r];
      b[r] = 2 * minus[r] * plus[r];
    }
  }

 private:
  const std::vector<double>& mag_;
  const WindowShape& shape_;
  int first_, rows_;
  std::array<double, kMostRows> weight_{};
};

// The minimum of fn between a and b, to within 1e-9, by Brent's method:
// parabolas through the three lowest points found, golden sections where
// a parabola would not shrink the interval enough. The residual is smooth
// near its bottom: some fifteen evaluations instead of some forty by
// golden sections alone.
template <class Fn>
double refine(double a, double b, Fn&& fn, double& at) {
  constexpr double kGolden = 0.3819660112501051;  // (3 - sqrt 5) / 2
  constexpr double kTolerance = 2.5e-10;          // the interval ends no wider than 4 times this
  double x = a + kGolden * (b - a), w = x, v = x;
  double fx = fn(x), fw = fx, fv = fx;
  double step = 0, before = 0;  // the last step, and the one before it
  while (std::fabs(x - (a + b) / 2) > 2 * kTolerance - (b - a) / 2) {
    const double middle = (a + b) / 2;
    bool golden = true;
    if (std::fabs(before) > kTolerance) {
      double r = (x - w) * (fx - fv), q = (x - v) * (fx - fw), p = (x - v) * q - (x - w) * r;
      q = 2 * (q - r);
      if (q > 0) p = -p;
      q = std::fabs(q);
      // Taken when it moves less than half the step before last, and stays inside.
      if (std::fabs(p) < std::fabs(q * before / 2) && p > q * (a - x) && p < q * (b - x)) {
        before = step;
        step = p / q;
        if (x + step - a < 2 * kTolerance || b - (x + step) < 2 * kTolerance)
          step = x < middle ? kTolerance : -kTolerance;
        golden = false;
      }
    }
    if (golden) {
      before = (x < middle ? b : a) - x;
      step = kGolden * before;
    }
    const double u = x + (std::fabs(step) >= kTolerance ? step : step > 0 ? kTolerance : -kTolerance);
    const double fu = fn(u);
    if (fu <= fx) {
      (u < x ? b : a) = x;
      v = w, fv = fw, w = x, fw = fx, x = u, fx = fu;
    } else {
      (u < x ? a : b) = u;
      if (fu <= fw || w == x)
        v = w, fv = fw, w = u, fw = fu;
      else if (fu <= fv || v == x || v == w)
        v = u, fv = fu;
    }
  }
  at = x;
  return fx;
}

// Inverts a symmetric positive definite n x n matrix (row-major) in
// place, by Gauss-Jordan elimination; false when it is singular.
bool invert(double* a, int n) {
  for (int p = 0; p < n; ++p) {
    const double pivot = a[p * n + p];
    if (!(pivot > 1e-14)) return false;
    for (int j = 0; j < n; ++j) a[p * n + j] /= pivot;
    a[p * n + p] = 1 / pivot;
    for (int i = 0; i < n; ++i) {
      if (i == p) continue;
      const double f = a[i * n + p];
      a[i * n + p] = 0;
      for (int j = 0; j < n; ++j) a[i * n + j] -= f * a[p * n + j];
    }
  }
  return true;
}

double median(std::span<double> v) {
  if (v.empty()) return 0;
  const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

// The mean power of noise whose median bin power is m (an exponential
// distribution's median is its mean times ln 2).
double floorOf(double m) { return m / std::numbers::ln2; }

int decimalsFor(double unit) {
  if (!(unit > 0)) return 2;
  return std::clamp(int(std::floor(-std::log10(unit))), 0, 2);
}

// The tone behind the strongest local maximum, or why there is none.
ToneReading fitStrongest(const std::vector<double>& mag, const WindowShape& shape) {
  ToneReading reading;
  const int bins = int(mag.size());
  int peak = -1;
  for (int k = 1; k + 1 < bins; ++k)
    if (mag[size_t(k)] > 0 && mag[size_t(k)] >= mag[size_t(k - 1)] && mag[size_t(k)] > mag[size_t(k + 1)] &&
        (peak < 0 || mag[size_t(k)] > mag[size_t(peak)]))
      peak = k;
  if (peak < 0) {
    reading.why = NoTone::Silence;
    return reading;
  }
  auto power = [&](int k) { return mag[size_t(k)] * mag[size_t(k)]; };

  // The floor around the peak, and the peak well above it.
  const int floorFirst = std::max(0, peak - kFloorReach), floorLast = std::min(bins - 1, peak + kFloorReach);
  std::array<double, kMostRows> aroundBins;
  size_t arounds = 0;
  auto around = [&] { return std::span(aroundBins.data(), arounds); };
  for (int k = floorFirst; k <= floorLast; ++k)
    if (std::abs(k - peak) > kMainLobe) aroundBins[arounds++] = power(k);
  if (power(peak) < floorOf(median(around())) * std::pow(10, kProminenceDb / 10)) {
    reading.why = NoTone::InNoise;
    return reading;
  }

  // Fitted twice: weighted first by the floor around the peak, which holds
  // the tone's own side lobes, then by the noise the model leaves there.
  // Single-precision transforms leave nothing below 140 dB under the peak.
  const double least = 1e-14 * power(peak);
  double noise = std::max(floorOf(median(around())), least);
  const int first = std::max(0, peak - kRowsEachSide), last = std::min(bins - 1, peak + kRowsEachSide);
  double model[kMostRows];
  double q[kParameters], rss = 0;
  // The tone lies within half a bin of its strongest bin (a little more
  // when its image pulls): a scan finds the valleys of the residual, a
  // search by Brent's method the bottom of each. Near a whole bin a low tone
  // may leave two valleys nearly as deep: then where it lies is uncertain by
  // as much as they are apart.
  constexpr double kReach = 0.6, kNear = 0.1;
  constexpr int kSteps = 24, kNearSteps = 40;
  double ambiguity = 0, f = peak;
  // Both passes scan the same trials over the whole reach: the second takes
  // the first's columns.
  double coarseA[kSteps + 1][kFitRows], coarseB[kSteps + 1][kFitRows];
  for (int pass = 0; pass < 2; ++pass) {
    const Fit fit(mag, shape, first, last, noise);
    auto residual = [&](double trial) { return fit.residual(trial); };
    // The low points of a scan over the whole reach and, on the second
    // pass, of a fine one about the first pass's bottom (to see valleys a
    // hundredth of a bin apart): each the middle of two steps to search.
    struct Low {
      double lo, hi, value;
    };
    std::array<Low, kSteps + kNearSteps + 2> lows;
    size_t found = 0;
    auto scan = [&](double from, double to, int steps, bool coarse) {
      double values[kNearSteps + 1];
      const double step = (to - from) / steps;
      for (int i = 0; i <= steps; ++i) {
        const double trial = from + i * step;
        if (coarse && pass == 0) fit.columns(trial, coarseA[i], coarseB[i]);
        values[i] = coarse ? fit.residual(trial, coarseA[i], coarseB[i]) : residual(trial);
      }
      for (int i = 0; i <= steps; ++i)
        if ((i == 0 || values[i] <= values[i - 1]) && (i == steps || values[i] < values[i + 1]))
          lows[found++] = {from + (i - 1) * step, from + (i + 1) * step, values[i]};
    };
    scan(peak - kReach, peak + kReach, kSteps, true);
    if (pass == 1) scan(f - kNear, f + kNear, kNearSteps, false);
    // The deepest valley's bottom, by Brent's method; then that of
    // each other valley whose low point is nearly as deep.
    const Low& deepest = *std::min_element(lows.begin(), lows.begin() + std::ptrdiff_t(found),
                                           [](const Low& a, const Low& b) { return a.value < b.value; });
    const double depth = refine(deepest.lo, deepest.hi, residual, f);
    rss = fit.residual(f, q);
    const double spread = std::max(1.0, rss / (fit.rows() - kParameters));
    ambiguity = 0;
    for (size_t i = 0; i < found; ++i) {
      double at;
      if (&lows[i] != &deepest && lows[i].value - depth < 9 * spread &&
          refine(lows[i].lo, lows[i].hi, residual, at) - depth < 9 * spread)
        ambiguity = std::max(ambiguity, std::fabs(at - f));
    }
    // The noise floor once the tone is taken away: the median of what the
    // model leaves in the bins around it.
    Fit(mag, shape, floorFirst, floorLast, noise).model(q, model);
    arounds = 0;
    for (int k = floorFirst; k <= floorLast; ++k)
      if (std::abs(k - peak) > kMainLobe) {
        // A bin's power, m from the tone and noise of power P, misses m by
        // e with e^2 about 2 m P + P^2: each bin's P, solved from that.
        const double m = std::max(model[k - floorFirst], 0.0), e = power(k) - m;
        aroundBins[arounds++] = std::sqrt(m * m + e * e) - m;
      }
    // The median of e^2 over its variance is 0.455 (chi-square, one degree
    // of freedom); in bins of noise alone it would be 0.69: the floor errs
    // high there, by 1.8 dB.
    if (pass == 0) noise = std::max(median(around()) / 0.455, least);
  }
  const double c2 = q[1];
  if (!(c2 > 0)) {
    reading.why = NoTone::NotOneTone;
    return reading;
  }
  Tone tone;
  tone.bin = q[0];
  // The kernel carries the window's gain, so |c| is A / 2 in the samples'
  // own units, fractions of full scale.
  tone.amplitude = 2 * std::sqrt(c2);
  tone.floorPower = noise;

  // The uncertainties, through the fit linearised about its result: the
  // covariance of the parameters is (J'WJ)^-1, widened by as much as the
  // weighted residual exceeds what the noise explains. The derivatives are
  // taken numerically, each column scaled to unit length.
  const Fit fit(mag, shape, first, last, noise);
  const int rows = fit.rows(), n = kParameters;
  double jac[kMostRows][kParameters], scale[kParameters];
  for (int p = 0; p < n; ++p) {
    const double h = p == 0 ? 1e-5 : std::max(std::fabs(q[p]), 1e-30) * 1e-6;
    double up[kParameters], down[kParameters], yUp[kMostRows], yDown[kMostRows];
    std::copy(q, q + n, up);
    std::copy(q, q + n, down);
    up[p] += h;
    down[p] -= h;
    fit.model(up, yUp);
    fit.model(down, yDown);
    double norm = 0;
    for (int r = 0; r < rows; ++r) {
      jac[r][p] = (yUp[r] - yDown[r]) / (2 * h);
      norm += fit.weight(r) * jac[r][p] * jac[r][p];
    }
    if (!(norm > 0)) {
      reading.why = NoTone::NotOneTone;
      return reading;
    }
    scale[p] = 1 / std::sqrt(norm);
    for (int r = 0; r < rows; ++r) jac[r][p] *= scale[p];
  }
  double jwj[kParameters * kParameters] = {};
  for (int r = 0; r < rows; ++r)
    for (int a = 0; a < n; ++a)
      for (int b = 0; b < n; ++b) jwj[a * n + b] += fit.weight(r) * jac[r][a] * jac[r][b];
  if (!invert(jwj, n)) {
    reading.why = NoTone::NotOneTone;
    return reading;
  }
  const double widen = std::max(1.0, rss / std::max(1, rows - n));
  // A 16-bit sample's rounding is not quite noise: on a small tone it moves
  // the level and the frequency by up to a few hundredths of a step.
  const double rounding = 0.05 / 32768 / tone.amplitude;
  // Below kCrowdedBins a tone's image and its second harmonic lie inside
  // its main lobe: with magnitudes alone, one far under the tone bends the
  // fit more than its residual shows (a harmonic 40 dB down moves a 20 Hz
  // tone by a hundredth of a bin). There the fit is taken as no better than
  // that.
  const bool crowded = tone.bin < kCrowdedBins;
  tone.binUncertainty = std::max(
      {std::hypot(std::sqrt(widen * jwj[0]) * scale[0], rounding / 2), ambiguity, crowded ? kCrowdedBinError : 0.0});
  tone.dbUncertainty =
      std::max(20 / std::numbers::ln10 * std::hypot(std::sqrt(widen * jwj[n + 1]) * scale[1] / c2 / 2, rounding),
               crowded ? kCrowdedDbError : 0.0);
  if (3 * tone.binUncertainty > kCoarsestBins || 3 * tone.dbUncertainty > kCoarsestDb) {
    reading.why = NoTone::NotOneTone;
    return reading;
  }
  reading.tone = tone;
  return reading;
}

}  // namespace

int Tone::hzDecimals(double binHz) const { return decimalsFor(3 * binUncertainty * binHz); }
int Tone::dbDecimals() const { return decimalsFor(3 * dbUncertainty); }

void transformMagnitudes(const std::vector<double>& amplitudePercent, int points, std::vector<double>& out) {
  out.resize(amplitudePercent.size());
  const double scale = points / 2.0 / double(kAnalyserGain);
  for (size_t k = 0; k < out.size(); ++k) {
    const double a = amplitudePercent[k] / 100 + 1;
    out[k] = std::isfinite(a) && a > 0 ? a * scale : 0.0;
  }
}

ToneReading strongestTone(const std::vector<double>& mag, const WindowShape& shape) {
  const ToneReading reading = fitStrongest(mag, shape);
  // What stands out below the lowest bin has side lobes that no tone fits.
  if (!reading.tone && reading.why != NoTone::Silence && std::max_element(mag.begin(), mag.end()) == mag.begin())
    return {std::nullopt, NoTone::AtZeroHz};
  return reading;
}

}  // namespace dsp
