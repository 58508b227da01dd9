// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The pure delay in an impulse response, to a small fraction of a sample,
// whatever filter the path has.
//
// A path's response is its minimum-phase part (fixed by its magnitude)
// times an excess-phase part, which for a device is above all a delay. So
// the minimum phase is worked out from the magnitude (real cepstrum,
// folded), taken off, and what is left is the excess response E(f), whose
// phase is fitted with a line, theta - 2 pi f tau / rate, by weighted least
// squares: weights are the bins' power, so bins the noise holds count for
// little. The phase is never unwrapped (a slip in a noisy bin would move
// every bin after it): a first estimate comes from the phase steps between
// bins 1/1024 of the rate apart, which do not wrap for a delay within 512
// samples of `around`; then the line is refined three times on the
// residuals, each wrapped to +-pi about the line so far. A filter that is
// not minimum-phase (an all-pass, a linear-phase FIR) has its excess delay
// counted as delay, which it is.
//
// With `logTerm`, the excess delay is fitted as tau + b ln(f): what a
// clock running at another rate does to an exponential sweep (each
// frequency arrives later by the drift times the moment it was played).
#pragma once

#include <vector>

namespace measure {

class LowEdge;

struct DelayBand {
  double trustFromHz, trustToHz;  // where the measured magnitude holds (held constant beyond)
  double fitFromHz, fitToHz;      // the bins the line is fitted through
};

struct DelayEstimate {
  double samples = 0;   // from ir[0] (with logTerm: at 1 Hz)
  double perLogHz = 0;  // b, with logTerm
  bool valid = false;
};

struct DelayFitOptions {
  double around = 0;  // where in the response the delay is expected, in samples
  bool logTerm = false;
  // False for a response known to have no filter in it (the step between
  // two captures of one response): its magnitude's minimum phase is not
  // there to take off.
  bool minimumPhase = true;
  // A known filter in the response (the deconvolution's own low edge),
  // divided out first.
  const LowEdge* edge = nullptr;
};

DelayEstimate FitDelay(const std::vector<float>& ir, double rate, const DelayBand& band, DelayFitOptions options);

}  // namespace measure
