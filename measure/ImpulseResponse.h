// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What both analyses do with an impulse response once they have one: cut
// a windowed part out of it, read its response at any frequency, and the
// frequencies a result reports.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "dsp/Biquad.h"

namespace measure {

// The frequencies reported over a band: 48 a octave from `from`, and `to`.
std::vector<double> ReportFrequencies(double fromHz, double toHz);

// ir[start - fadeIn, start + length) of a circular response (indices wrap),
// faded in over its first `fadeIn` samples and out over its last quarter
// with half Hann windows, so that the cut adds no ripple. Sample i of the
// part is ir[start - fadeIn + i].
std::vector<float> Cut(const std::vector<float>& ir, long long start, std::size_t fadeIn, std::size_t length);

struct PointResponse {
  std::complex<double> h;  // the response
  double groupDelay;       // samples
};

// The response of `ir` at `hz`, its sample i standing at time i - origin
// (samples): H = sum ir[i] e^(-jw(i - origin)), and its group delay
// -d arg H / dw = Re(sum (i - origin) ir[i] e^(-jw(i - origin)) / H).
PointResponse ResponseAt(const std::vector<float>& ir, double origin, double hz, double rate);

// The signal resampled for a clock ratio: out[m] = in[origin + (m - origin)
// * ratio], band-limited (dsp::SincInterpolator).
std::vector<float> Resample(const std::vector<float>& in, double origin, double ratio);

// The low end of a response: a 4th-order Butterworth high-pass (two
// bilinear sections), which a deconvolution applies where its stimulus
// fades out below the band. Being minimum-phase and causal it rings only
// after the response, briefly, where the response's window keeps it (a
// band edge without phase rings before the response too, where the window
// cuts it, and the lowest octave comes out wrong); and being known it is
// divided out again wherever the response is read.
class LowEdge {
 public:
  LowEdge(double hz, double rate);
  std::complex<double> at(double hz) const noexcept;
  // Its group delay at hz, in samples.
  double groupDelay(double hz) const noexcept;

 private:
  double rate_;
  dsp::BiquadCoefficients a_, b_;
};

// Mean square of x[from, to) (clamped to the signal).
double MeanSquare(const float* x, std::size_t count, long long from, long long to);

}  // namespace measure
