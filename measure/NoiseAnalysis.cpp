// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The periodic pink noise's analysis.
//
// The noise repeats every period, so once the device has settled (the
// first period is not used) each period of the capture is a whole cycle
// of a periodic response: its transform, without a window, divided by the
// noise period's gives the response in every bin. The periods' transforms
// Y are averaged (H = mean Y / X) and the coherence is the share of the
// captured power that repeats from period to period,
// |sum Y|^2 / (M sum |Y|^2): 1 where the device answers the same way each
// time, 1/M where noise has the bin.
//
// Drift: a clock off by e moves each period e N samples later than the
// one before, whatever the device; that is the slope of the phase of
// sum Y[m+1] conj(Y[m]) (a pure delay, fitted as DelayFit fits one). The
// capture is resampled as for a sweep and analysed again.
//
// The delay is found on the response's impulse response (its inverse
// transform) as a sweep's is; the response and the coherence are read
// from the bins themselves, averaged over a 48th of an octave.
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
constexpr double kPreSeconds = 0.01;
constexpr double kPostSeconds = 0.5;

using Spectrum = std::vector<std::complex<double>>;

Spectrum Transform(TransformPair& fft, const float* from) {
  std::copy(from, from + fft.size(), fft.time());
  fft.forward();
  return {fft.spectrum(), fft.spectrum() + fft.size() / 2 + 1};
}
}  // namespace

// The analysis with the periods taken where the origin puts them.
bool AnalyseNoiseAt(const Plan& plan, const Capture& capture, Result& result, std::string& why) {
  const double rate = plan.settings().rate, o = capture.origin;
  const std::size_t n = plan.period(), bins = n / 2 + 1;
  const int periods = plan.repetitions() - 1;  // analysed: 1 ... repetitions - 1
  const auto pre = static_cast<std::size_t>(kPreSeconds * rate);
  const std::size_t post = std::min(static_cast<std::size_t>(kPostSeconds * rate), n / 2 - pre);
  const double binHz = rate / static_cast<double>(n);
  TransformPair fft(n);
  const std::vector<float> body = plan.body();
  const Spectrum x = Transform(fft, body.data());

  auto start = [&](int r) { return static_cast<long long>(std::floor(o + static_cast<double>(plan.start(r)))); };
  auto periodSpectra = [&](const std::vector<float>& y) {
    std::vector<Spectrum> s;
    for (int m = 1; m <= periods; ++m) s.push_back(Transform(fft, y.data() + start(m)));
    return s;
  };

  // Every period analysed must lie inside the capture.
  if (start(1) < 0 || start(periods) + static_cast<long long>(n) > static_cast<long long>(capture.count)) {
    why = "the capture does not hold every period of the noise";
    return false;
  }
  const DelayBand band{14, rate / 2 * 0.95, std::max(plan.settings().fromHz, 20.0),
                       std::min(plan.settings().toHz, rate / 2 * 0.9)};
  // The drift: the delay from each period to the next, as a response of
  // its own (flat, a pure delay).
  auto findDrift = [&](const std::vector<float>& y, double& drift) {
    const std::vector<Spectrum> ys = periodSpectra(y);
    Spectrum cross(bins, 0.0);
    for (std::size_t m = 1; m < ys.size(); ++m)
      for (std::size_t k = 0; k < bins; ++k) cross[k] += ys[m][k] * std::conj(ys[m - 1][k]);
    for (std::size_t k = 0; k < bins; ++k) fft.spectrum()[k] = std::complex<float>(cross[k] / static_cast<double>(n));
    fft.inverse();
    // Circularly centred, so that a step of either sign lies inside.
    std::vector<float> step(n);
    for (std::size_t i = 0; i < n; ++i) step[(i + n / 2) % n] = fft.time()[i];
    const DelayEstimate shift =
        FitDelay(step, rate, band, {.around = static_cast<double>(n / 2), .minimumPhase = false});
    drift = (shift.samples - static_cast<double>(n / 2)) / static_cast<double>(n);
    return shift.valid;
  };
  // Found again on the corrected capture: a period that is not whole in
  // the capture leaks, which the first estimate feels.
  const std::vector<float> captured(capture.samples, capture.samples + capture.count);
  std::vector<float> y;
  double drift = 0;
  if (!CorrectDrift(captured, o, static_cast<double>(plan.start(plan.repetitions())), findDrift, drift, y)) {
    why = "no response came back in the band";
    return false;
  }
  const std::vector<Spectrum> ys = periodSpectra(y);

  // The noise starts at 10 Hz: the response is brought to zero below with
  // a LowEdge, divided out again where it is read.
  const LowEdge low(14, rate);
  Spectrum h(bins, 0.0);
  std::vector<double> coherence(bins, 0.0);
  for (std::size_t k = 1; k < bins; ++k) {
    if (std::abs(x[k]) == 0) continue;
    std::complex<double> sum = 0;
    double power = 0;
    for (const Spectrum& s : ys) {
      sum += s[k];
      power += std::norm(s[k]);
    }
    h[k] = low.at(static_cast<double>(k) * binHz) * sum / static_cast<double>(periods) / x[k];
    coherence[k] = power > 0 ? std::norm(sum) / (periods * power) : 0;
  }
  for (std::size_t k = 0; k < bins; ++k) fft.spectrum()[k] = std::complex<float>(h[k] / static_cast<double>(n));
  fft.inverse();
  const std::vector<float> ir(fft.time(), fft.time() + n);

  // The delay: the response's peak, refined; the period is circular, and a
  // peak in its second half is one before the origin (a late origin).
  long long peak = 0;
  for (std::size_t i = 1; i < n; ++i)
    if (std::abs(ir[i]) > std::abs(ir[static_cast<std::size_t>(peak)])) peak = static_cast<long long>(i);
  if (peak > static_cast<long long>(n / 2)) peak -= static_cast<long long>(n);
  const std::vector<float> linear = Cut(ir, peak, pre, post);
  const DelayEstimate e = FitDelay(linear, rate, band, {.around = static_cast<double>(pre), .edge = &low});
  if (!e.valid) {
    why = "no response came back in the band";
    return false;
  }
  const double frac = o + static_cast<double>(plan.start(1)) - static_cast<double>(start(1));
  const double delay = static_cast<double>(peak) - static_cast<double>(pre) + e.samples - frac;

  // The noise in the silence before the noise came back, wherever the
  // origin put it; the signal over the periods analysed.
  const long long arrived = start(0) + static_cast<long long>(std::floor(delay));
  if (!SetFigures(plan, capture, arrived, start(1), start(1) + static_cast<long long>(n) * periods, delay, drift,
                  result, why))
    return false;

  // Each bin's response with the low edge divided out and the delay taken
  // off, averaged over the bins within a 96th of an octave of each
  // reported frequency (between the two nearest where none lie so close).
  const double lag = static_cast<double>(peak) - static_cast<double>(pre) + e.samples;  // may be negative
  auto device = [&](std::size_t k) {
    const double hz = static_cast<double>(k) * binHz;
    return h[k] / low.at(hz) *
           std::polar(1.0, 2 * std::numbers::pi * static_cast<double>(k) * lag / static_cast<double>(n));
  };
  for (double hz : ReportFrequencies(plan.settings().fromHz, plan.settings().toHz)) {
    auto lo = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(hz * std::exp2(-1.0 / 96) / binHz)));
    auto hi = std::min(bins - 1, static_cast<std::size_t>(hz * std::exp2(1.0 / 96) / binHz));
    std::complex<double> response = 0;
    double coherent = 0, turn = 0;
    if (hi <= lo) {
      lo = std::clamp<std::size_t>(static_cast<std::size_t>(hz / binHz), 1, bins - 2);
      hi = lo + 1;
      const double t = hz / binHz - static_cast<double>(lo);
      response = (1 - t) * device(lo) + t * device(hi);
      coherent = (1 - t) * coherence[lo] + t * coherence[hi];
      turn = std::arg(device(hi) * std::conj(device(lo)));
    } else {
      for (std::size_t k = lo; k <= hi; ++k) {
        response += device(k);
        coherent += coherence[k];
        if (k > lo) turn += std::arg(device(k) * std::conj(device(k - 1)));
      }
      response /= static_cast<double>(hi - lo + 1);
      coherent /= static_cast<double>(hi - lo + 1);
      turn /= static_cast<double>(hi - lo);
    }
    ResponsePoint point{hz};
    point.magnitudeDb = 20 * std::log10(std::abs(response));
    point.phaseDeg = std::arg(response) * 180 / std::numbers::pi;
    point.groupDelayMs = -turn / (2 * std::numbers::pi * binHz) * 1000;
    point.coherence = coherent;
    result.response.push_back(point);
    result.distortion.push_back(DistortionPoint{hz});
  }

  const auto from = static_cast<std::size_t>(std::lround(frac));
  const std::size_t length = std::min(n - from, static_cast<std::size_t>(std::max(0.0, std::ceil(delay))) + post);
  for (std::size_t i = 0; i < length; ++i) result.impulse.push_back(ir[(i + from) % n]);
  return true;
}

// The periods must be taken where they arrived, or the last would run into
// the silence after the noise: when the delay found is more than a few
// milliseconds, the analysis is made again with the periods moved by it
// (whole samples), and the delay counted from the origin as before.
bool AnalyseNoise(const Plan& plan, const Capture& capture, Result& result, std::string& why) {
  if (!AnalyseNoiseAt(plan, capture, result, why)) return false;
  const double shift = std::round(result.delaySamples);
  if (std::abs(shift) < 0.005 * plan.settings().rate) return true;
  const Result first = result;
  Capture moved = capture;
  moved.origin += shift;
  if (moved.origin < 0 || !AnalyseNoiseAt(plan, moved, result, why)) {
    result = first;
    return true;
  }
  result.delaySamples += shift;
  result.delayMs = result.delaySamples / plan.settings().rate * 1000;
  if (shift > 0) result.impulse.insert(result.impulse.begin(), static_cast<std::size_t>(shift), 0.0f);
  return true;
}

}  // namespace measure
