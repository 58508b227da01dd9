// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/OctaveFilterBank.h"

#include "dsp/NoDenormals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace dsp {

namespace {

using Complex = std::complex<double>;

constexpr std::size_t kChunk = 4096;
constexpr double kSineDb = 3.0102999566398120;  // 10 lg 2
// A decimator's memory, in samples of its input.
constexpr std::size_t kDecimatorSpan = 4 * HalfBandKernel::kSideTaps - 1;
// What the weighting filter still holds has fallen by 120 dB after this.
constexpr double kWeightingTailSeconds = 0.25;

double squareDb(double meanSquare) {
  return meanSquare > 0 ? 10 * std::log10(meanSquare) + kSineDb : -std::numeric_limits<double>::infinity();
}

// The factor by which a band's width is narrowed from its nominal edges so
// that its effective bandwidth on a logarithmic axis is the nominal one.
// With x = ln(f / fm), a Butterworth band-pass of order 3 and width beta
// (in f / fm) has |H|^2 = 1 / (1 + (2 sinh(x) / beta)^6); its integral over
// x must be ln G^(1/b).
double bandwidthFactor(int b) {
  const double g = std::pow(10.0, 0.3);
  const double nominal = std::pow(g, 1.0 / (2 * b)) - std::pow(g, -1.0 / (2 * b));
  const double want = std::log(g) / b;
  auto width = [&](double factor) {
    const double beta = factor * nominal;
    // Simpson's rule over [0, X], where the integrand has fallen to 1e-18.
    const double x1 = std::asinh(1e3 * beta / 2);
    constexpr int kSteps = 4000;
    const double h = x1 / kSteps;
    double sum = 0;
    for (int i = 0; i <= kSteps; ++i) {
      const double u = 2 * std::sinh(i * h) / beta;
      const double v = 1 / (1 + u * u * u * u * u * u);
      sum += v * (i == 0 || i == kSteps ? 1 : i % 2 ? 4 : 2);
    }
    return 2 * sum * h / 3;
  };
  double lo = 0.8, hi = 1.2;
  for (int i = 0; i < 60; ++i) {
    const double mid = (lo + hi) / 2;
    (width(mid) < want ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

// The bilinear transform (frequencies pre-warped: s = (1 - 1/z) / (1 + 1/z))
// of (n s) / (s^2 + d1 s + d0).
BiquadCoefficients bilinear(double n, double d1, double d0) {
  const double a0 = 1 + d1 + d0;
  return {n / a0, 0, -n / a0, (2 * d0 - 2) / a0, (1 - d1 + d0) / a0};
}

// A Butterworth band-pass of order 3 between lowHz and highHz at `rate`.
std::vector<BiquadCoefficients> bandPass(double lowHz, double highHz, double factor, double rate) {
  const double w1 = std::tan(std::numbers::pi * lowHz / rate), w2 = std::tan(std::numbers::pi * highHz / rate);
  const double w0sq = w1 * w2, width = factor * (w2 - w1);
  std::vector<BiquadCoefficients> sections;
  // Each pole p of the low-pass prototype becomes the two roots of
  // s^2 - p width s + w0^2; a real p gives a pair of its own, a complex one
  // two pairs with its conjugate's roots.
  auto roots = [&](Complex p) {
    const Complex d = std::sqrt(p * p * width * width - 4 * w0sq);
    return std::array<Complex, 2>{(p * width + d) / 2.0, (p * width - d) / 2.0};
  };
  const auto real = roots(-1.0);
  sections.push_back(bilinear(width, -(real[0] + real[1]).real(), (real[0] * real[1]).real()));
  for (const Complex r : roots(Complex(-0.5, std::sqrt(3.0) / 2)))
    sections.push_back(bilinear(width, -2 * r.real(), std::norm(r)));
  return sections;
}

// Samples until a section's output has fallen by 120 dB (with half as much
// again for the slower fall of repeated poles).
std::size_t ringSamples(const BiquadCoefficients& c) {
  const Complex d = std::sqrt(Complex(c.a1 * c.a1 - 4 * c.a2));
  const double radius = std::max(std::abs((-c.a1 + d) / 2.0), std::abs((-c.a1 - d) / 2.0));
  if (radius <= 0) return 2;
  return std::size_t(std::ceil(1.5 * std::log(1e-6) / std::log(radius))) + 2;
}

}  // namespace

struct OctaveFilterBank::Band {
  std::size_t index;  // in bands_
  std::size_t stage;
  double rate;
  std::vector<BiquadCoefficients> design;
  std::vector<Biquad> sections;
  TimeWeightingDetector detector;
  double energy = 0;
};

struct OctaveFilterBank::Stage {
  double rate;
  std::vector<Band> bands;
  std::size_t ring = 0;  // samples its bands need to fall silent
  Downsampler2 down;
  std::vector<double> next;  // the signal at half the rate, for the stage below
};

OctaveFilterBank::OctaveFilterBank(int bandsPerOctave, double rate, Weighting weighting, TimeWeighting time)
    : bandsPerOctave_(bandsPerOctave),
      rate_(rate),
      bands_(octaveBands(bandsPerOctave, rate)),
      weighting_(weighting, rate),
      byBand_(bands_.size()) {
  if (bands_.empty()) return;
  // The top octave's bands would come too near the Nyquist frequency, where
  // the bilinear transform squeezes their lower skirts out of the limits:
  // they run at twice the rate, where the weighting may run already.
  const bool twice =
      std::any_of(bands_.begin(), bands_.end(), [&](const OctaveBand& b) { return b.highHz > rate / 4; });
  const double top = twice ? 2 * rate : rate;
  upsample_ = twice && weighting_.oversampling() == 1;
  weighted_.resize(kChunk * (twice ? 2 : 1));
  // Each band to the lowest rate at which its upper edge is at most a
  // quarter of the rate.
  std::vector<std::size_t> stageOf(bands_.size(), 0);
  std::size_t stages = 1;
  for (std::size_t j = 0; j < bands_.size(); ++j) {
    std::size_t k = 0;
    while (bands_[j].highHz <= top / std::pow(2.0, double(k + 1)) / 4) ++k;
    stageOf[j] = k;
    stages = std::max(stages, k + 1);
  }
  for (std::size_t k = 0; k < stages; ++k) {
    auto stage = std::make_unique<Stage>();
    stage->rate = top / std::pow(2.0, double(k));
    stage->next.resize(weighted_.size() / (size_t(1) << k) / 2 + 2);
    stages_.push_back(std::move(stage));
  }
  const double factor = bandwidthFactor(bandsPerOctave);
  for (std::size_t j = 0; j < bands_.size(); ++j) {
    Stage& s = *stages_[stageOf[j]];
    const OctaveBand& b = bands_[j];
    Band band{
        j, stageOf[j], s.rate, bandPass(b.lowHz, b.highHz, factor, s.rate), {}, TimeWeightingDetector(time, s.rate)};
    for (const BiquadCoefficients& c : band.design) {
      band.sections.emplace_back(c);
      s.ring = std::max(s.ring, ringSamples(c));
    }
    s.bands.push_back(std::move(band));
  }
  for (auto& stage : stages_)
    for (Band& band : stage->bands) byBand_[band.index] = &band;
}

OctaveFilterBank::~OctaveFilterBank() = default;

void OctaveFilterBank::runStage(std::size_t k, const double* in, std::size_t n) noexcept {
  Stage& s = *stages_[k];
  for (Band& band : s.bands) {
    double energy = 0;
    for (std::size_t i = 0; i < n; ++i) {
      double v = in[i];
      for (Biquad& section : band.sections) v = section.process(v);
      const double square = v * v;
      energy += square;
      band.detector.step(square);
    }
    band.energy += energy;
  }
  if (k + 1 == stages_.size()) return;
  const std::size_t m = s.down.process(in, n, s.next.data());
  runStage(k + 1, s.next.data(), m);
}

// n <= kChunk input samples, weighted, to the top stage.
void OctaveFilterBank::runInput(const float* samples, std::size_t n) noexcept {
  const std::size_t os = size_t(weighting_.oversampling());
  if (upsample_) {
    // The weighted signal at the input's rate goes to the back of the
    // buffer, and is doubled from there into the whole of it.
    double* staged = weighted_.data() + n;
    weighting_.process(samples, n, staged);
    upsampler_.process(staged, n, weighted_.data());
  } else {
    weighting_.process(samples, n, weighted_.data());
  }
  runStage(0, weighted_.data(), n * (upsample_ ? 2 : os));
}

void OctaveFilterBank::process(const float* samples, std::size_t n) noexcept {
  const NoDenormals flushed;
  if (stages_.empty()) return;
  while (n > 0) {
    const std::size_t m = std::min(n, kChunk);
    runInput(samples, m);
    measured_ += m;
    any_ = true;
    samples += m;
    n -= m;
  }
}

void OctaveFilterBank::flush() {
  const NoDenormals flushed;
  if (stages_.empty()) return;
  static const std::array<float, kChunk> kSilence{};
  // Through the weighting filter first, which rings too, and the top
  // stage, long enough for its bands to fall silent and for its decimator
  // to hand on all it holds; then each stage below likewise. The signal a
  // stage sees is silent from then on, so its silence can go straight in.
  const double top = stages_[0]->rate;
  std::size_t left = std::size_t(double(std::max(stages_[0]->ring, kDecimatorSpan) + kDecimatorSpan) * rate_ / top) +
                     std::size_t(kWeightingTailSeconds * rate_);
  while (left > 0) {
    const std::size_t m = std::min(left, kChunk);
    runInput(kSilence.data(), m);
    left -= m;
  }
  std::fill(weighted_.begin(), weighted_.end(), 0.0);
  for (std::size_t k = 1; k < stages_.size(); ++k) {
    left = stages_[k]->ring + kDecimatorSpan;
    while (left > 0) {
      const std::size_t m = std::min(left, std::max<std::size_t>(1, weighted_.size() >> k));
      runStage(k, weighted_.data(), m);
      left -= m;
    }
  }
}

void OctaveFilterBank::restart() noexcept {
  measured_ = 0;
  any_ = false;
  for (auto& stage : stages_)
    for (Band& band : stage->bands) band.energy = 0;
}

double OctaveFilterBank::leqDb(std::size_t band) const {
  if (!any_ || band >= byBand_.size()) return std::numeric_limits<double>::quiet_NaN();
  const Band& b = *byBand_[band];
  // The band's stage has one sample for 2^k of the input.
  const double samples = double(measured_) * b.rate / rate_;
  return squareDb(b.energy / samples);
}

double OctaveFilterBank::levelDb(std::size_t band) const {
  if (!any_ || band >= byBand_.size()) return std::numeric_limits<double>::quiet_NaN();
  return squareDb(byBand_[band]->detector.value());
}

double OctaveFilterBank::responseDb(std::size_t band, double hz) const {
  if (band >= byBand_.size()) return std::numeric_limits<double>::quiet_NaN();
  const Band& b = *byBand_[band];
  double h = 1;
  for (const BiquadCoefficients& c : b.design) h *= std::abs(c.response(hz, b.rate));
  // The decimators before the band's stage, each at its input's rate, and
  // the interpolator before them.
  for (std::size_t k = 0; k < b.stage; ++k) h *= std::fabs(HalfBandKernel::response(hz / stages_[k]->rate));
  if (upsample_) h *= std::fabs(HalfBandKernel::response(hz / stages_[0]->rate));
  return 20 * std::log10(h) + weighting_.responseDb(hz);
}

}  // namespace dsp
