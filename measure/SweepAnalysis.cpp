// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The exponential sweep's analysis.
//
// Each sweep's stretch of the capture is divided, in the frequency domain,
// by the sweep's own spectrum (its inverse filter, regularised with a
// floor a thousand times below the sweep's pink level, and brought to zero
// across the sweep's faded ends: a LowEdge below, a raised cosine above). What comes out is the linear impulse response
// after the moment the sweep was played, and before it, L ln(k) earlier, the response of each harmonic k.
//
// Clock drift: an input clock running at (1 + e) times the output's
// stretches the capture, so the frequency played at sample k arrives e k
// samples late. With two sweeps or more, e is the slope of the delays
// found against the moments the sweeps were played (nothing else changes
// between them); with one, the excess group delay through the sweep is
// fitted as a + b ln f, since the sweep plays f at L ln(f / f1): e = b /
// (L rate). When the drift moves anything by more than a hundredth of a
// sample, the capture is resampled by the inverse ratio (band-limited
// interpolation) and analysed again, so every figure is the device's.
//
// The sweeps' captures are then averaged, the linear response is cut out
// of the result (10 ms before its peak, half a second after) and read at
// the reported frequencies with the delay taken off (DelayFit); the
// harmonics' responses are cut the same way, shorter, and read at k times
// each frequency (their power over a sixth of an octave), against the
// linear response at the frequency itself.
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "measure/Analysis.h"
#include "measure/DelayFit.h"
#include "measure/Drift.h"
#include "measure/ImpulseResponse.h"
#include "measure/TransformPair.h"

namespace measure {

namespace {

constexpr double kMarginSeconds = 0.05;  // capture kept before each sweep's moment
constexpr double kPreSeconds = 0.01;     // the response's window before its peak
constexpr double kPostSeconds = 0.5;     // and after it
constexpr int kHarmonics = 5;
// A harmonic's response is cut shorter than the linear one: it is short
// (a distortion has little memory), and a longer cut gathers more noise.
constexpr double kHarmonicSeconds = 0.1;

// What the deconvolution keeps at the top: 1 up to the sweep's faded end,
// falling to 0 across it along a raised cosine in log frequency (the low
// end is a LowEdge).
double TopEdge(double hz, double f2) {
  const double x = std::log(f2 / hz) / std::log(1.02);
  return x <= 0 ? 0.0 : x >= 1 ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * x);
}

class Deconvolver {
 public:
  Deconvolver(const std::vector<float>& sweep, double rate, double f1, double f2, const LowEdge& low,
              std::size_t segment)
      : fft_(TransformPair::GoodSize(segment + sweep.size())), segment_(segment) {
    const std::size_t n = fft_.size(), bins = n / 2 + 1;
    std::fill(fft_.time(), fft_.time() + n, 0.0f);
    std::copy(sweep.begin(), sweep.end(), fft_.time());
    fft_.forward();
    const double binHz = rate / static_cast<double>(n);
    // The sweep's power falls as 1/f: its level is read as the median of
    // |X|^2 f inside the range, away from the faded ends.
    std::vector<double> level;
    for (std::size_t k = 1; k < bins; ++k) {
      const double hz = static_cast<double>(k) * binHz;
      if (hz > f1 * 2 && hz < f2 / 1.1) level.push_back(std::norm(std::complex<double>(fft_.spectrum()[k])) * hz);
    }
    std::nth_element(level.begin(), level.begin() + static_cast<std::ptrdiff_t>(level.size() / 2), level.end());
    const double pink = level.empty() ? 1.0 : level[level.size() / 2];
    inverse_.assign(bins, 0);
    for (std::size_t k = 1; k < bins; ++k) {
      const double hz = static_cast<double>(k) * binHz;
      const std::complex<double> x(fft_.spectrum()[k]);
      inverse_[k] =
          low.at(hz) * TopEdge(hz, f2) * std::conj(x) / (std::norm(x) + 1e-3 * pink / hz) / static_cast<double>(n);
    }
  }

  // The circular response of segment_ samples of the capture at `from`.
  std::vector<float> run(const float* from) {
    const std::size_t n = fft_.size(), bins = n / 2 + 1;
    std::fill(fft_.time(), fft_.time() + n, 0.0f);
    std::copy(from, from + segment_, fft_.time());
    fft_.forward();
    for (std::size_t k = 0; k < bins; ++k)
      fft_.spectrum()[k] = std::complex<float>(std::complex<double>(fft_.spectrum()[k]) * inverse_[k]);
    fft_.inverse();
    return {fft_.time(), fft_.time() + n};
  }

 private:
  TransformPair fft_;
  std::size_t segment_;
  std::vector<std::complex<double>> inverse_;
};

std::size_t PeakOf(const std::vector<float>& ir, std::size_t within) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < within; ++i)
    if (std::abs(ir[i]) > std::abs(ir[best])) best = i;
  return best;
}

}  // namespace

bool AnalyseSweep(const Plan& plan, const Capture& capture, Result& result, std::string& why) {
  const Sweep& sweep = *plan.sweep();
  const double rate = plan.settings().rate, o = capture.origin;
  const double l = sweep.rateConstant();
  const std::vector<float> x = plan.body();
  const std::size_t gap = plan.period() - x.size();
  const auto margin = static_cast<std::size_t>(kMarginSeconds * rate);
  const auto pre = static_cast<std::size_t>(kPreSeconds * rate);
  const auto post = static_cast<std::size_t>(kPostSeconds * rate);
  const std::size_t segment = margin + x.size() + gap * 9 / 10;
  const int sweeps = plan.repetitions();
  const DelayBand band{sweep.fromHz() * std::sqrt(2.0), sweep.toHz() / 1.02,
                       std::max(plan.settings().fromHz, sweep.fromHz() * std::sqrt(2.0)),
                       std::min(plan.settings().toHz, sweep.toHz() / 1.02)};
  const LowEdge low(sweep.fromHz() * std::sqrt(2.0), rate);
  Deconvolver deconvolve(x, rate, sweep.fromHz(), sweep.toHz(), low, segment);

  // Where sweep r's stretch begins in the capture.
  auto segmentStart = [&](int r) {
    return static_cast<long long>(std::floor(o + static_cast<double>(plan.start(r)))) - static_cast<long long>(margin);
  };
  // The arrival of each sweep, in samples after its moment: the window's
  // start plus the delay found in it.
  auto arrival = [&](int r, const std::vector<float>& ir, bool logTerm, DelayEstimate& e) {
    const std::size_t peak = PeakOf(ir, segment);
    e = FitDelay(Cut(ir, static_cast<long long>(peak), pre, post), rate, band,
                 {.around = static_cast<double>(pre), .logTerm = logTerm, .edge = &low});
    return static_cast<double>(segmentStart(r)) + static_cast<double>(peak) - static_cast<double>(pre) + e.samples -
           (o + static_cast<double>(plan.start(r)));
  };

  const auto first = static_cast<long long>(std::floor(o + static_cast<double>(plan.start(0))));

  // Every sweep's stretch must lie inside the capture.
  if (segmentStart(0) < 0 ||
      segmentStart(sweeps - 1) + static_cast<long long>(segment) > static_cast<long long>(capture.count)) {
    why = "the capture does not hold every sweep";
    return false;
  }

  // The drift, found on the capture as it stands.
  auto findDrift = [&](const std::vector<float>& y, double& drift) {
    std::vector<double> at(static_cast<std::size_t>(sweeps)), times(static_cast<std::size_t>(sweeps));
    DelayEstimate e;
    for (int r = 0; r < sweeps; ++r) {
      const auto i = static_cast<std::size_t>(r);
      at[i] = arrival(r, deconvolve.run(y.data() + segmentStart(r)), sweeps == 1, e);
      times[i] = static_cast<double>(plan.start(r));
      if (!e.valid) return false;
    }
    if (sweeps == 1) {
      drift = e.perLogHz / (l * rate);
      return true;
    }
    double mt = 0, ma = 0, num = 0, den = 0;
    for (std::size_t i = 0; i < at.size(); ++i) mt += times[i] / sweeps, ma += at[i] / sweeps;
    for (std::size_t i = 0; i < at.size(); ++i) {
      num += (times[i] - mt) * (at[i] - ma);
      den += (times[i] - mt) * (times[i] - mt);
    }
    drift = num / den;
    return true;
  };
  const std::vector<float> captured(capture.samples, capture.samples + capture.count);
  std::vector<float> y;
  double drift = 0;
  if (!CorrectDrift(captured, o, static_cast<double>(plan.start(sweeps - 1) + x.size()), findDrift, drift, y)) {
    why = "no response came back in the band";
    return false;
  }

  // Second pass: the sweeps averaged, the delay, the responses.
  std::vector<float> ir;
  for (int r = 0; r < sweeps; ++r) {
    std::vector<float> one = deconvolve.run(y.data() + segmentStart(r));
    if (ir.empty())
      ir = std::move(one);
    else
      for (std::size_t i = 0; i < ir.size(); ++i) ir[i] += one[i];
  }
  for (float& v : ir) v /= static_cast<float>(sweeps);
  const std::size_t peak = PeakOf(ir, segment);
  const std::vector<float> linear = Cut(ir, static_cast<long long>(peak), pre, post);
  const DelayEstimate e = FitDelay(linear, rate, band, {.around = static_cast<double>(pre), .edge = &low});
  if (!e.valid) {
    why = "no response came back in the band";
    return false;
  }
  const double lag = static_cast<double>(peak) - static_cast<double>(pre) + e.samples;  // in ir
  const double delay = static_cast<double>(segmentStart(0)) + lag - (o + static_cast<double>(plan.start(0)));

  // The signal while the first sweep came back.
  const long long arrived = first + static_cast<long long>(std::floor(delay));
  if (!SetFigures(plan, capture, arrived, arrived, arrived + static_cast<long long>(x.size()), delay, drift, result,
                  why))
    return false;

  // The harmonics' responses, each cut up to where the next one's begins.
  std::vector<float> harmonic[kHarmonics + 1];
  double harmonicOrigin[kHarmonics + 1] = {};
  for (int k = 2; k <= kHarmonics; ++k) {
    const double at = lag - l * std::log(static_cast<double>(k)) * rate;
    const double room = l * std::log(static_cast<double>(k) / (k - 1)) * rate - 2.0 * static_cast<double>(pre);
    const auto length = static_cast<std::size_t>(std::clamp(room, static_cast<double>(pre), kHarmonicSeconds * rate));
    const auto start = static_cast<long long>(std::floor(at));
    harmonic[k] = Cut(ir, start, pre, length);
    harmonicOrigin[k] = at - static_cast<double>(start) + static_cast<double>(pre);
  }

  const double top = std::min(sweep.toHz() / 1.02, rate / 2);
  for (double hz : ReportFrequencies(plan.settings().fromHz, plan.settings().toHz)) {
    const PointResponse p = ResponseAt(linear, e.samples, hz, rate);
    const std::complex<double> h = p.h / low.at(hz);
    ResponsePoint point{hz};
    const double magnitude = std::abs(h);
    point.magnitudeDb = 20 * std::log10(magnitude);
    point.phaseDeg = std::arg(h) * 180 / std::numbers::pi;
    point.groupDelayMs = (p.groupDelay - low.groupDelay(hz)) / rate * 1000;
    result.response.push_back(point);

    DistortionPoint d{hz};
    double power = 0;
    for (int k = 2; k <= kHarmonics; ++k) {
      if (k * hz > top) break;
      // Read as the power over a sixth of an octave: a harmonic lies far
      // below the fundamental, nearer the noise, and changes slowly.
      double sum = 0;
      for (int j = -2; j <= 2; ++j) {
        const double at = k * hz * std::exp2(j / 24.0);
        sum += std::norm(ResponseAt(harmonic[k], harmonicOrigin[k], at, rate).h / low.at(at));
      }
      const double level = std::sqrt(sum / 5) / magnitude;
      d.harmonicDb[k - 2] = 20 * std::log10(level);
      power += level * level;
    }
    if (2 * hz <= top) d.thdPercent = 100 * std::sqrt(power);
    result.distortion.push_back(d);
  }

  // The linear response from the moment the first sweep was played.
  const double zero = o + static_cast<double>(plan.start(0)) - static_cast<double>(segmentStart(0));
  const auto from = static_cast<std::size_t>(std::lround(zero));
  const std::size_t length = std::min(segment - from, static_cast<std::size_t>(std::max(0.0, std::ceil(delay))) + post);
  result.impulse.assign(ir.begin() + static_cast<std::ptrdiff_t>(from),
                        ir.begin() + static_cast<std::ptrdiff_t>(from + length));
  return true;
}

}  // namespace measure
