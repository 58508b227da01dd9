// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The spectrum of a long stretch of one channel: frames of `points` samples,
// each `hop` samples after the one before, windowed and transformed as the
// program's analyser does (analyserWindow, an unscaled real transform, the
// power re^2 + im^2 in single precision), their powers averaged per bin.
// The result is a frame on the frame scope's scale (FrameScale), bins 0 to
// points / 2 - 1 as the analyser sends them, so that the frame scope's
// estimator and its text read it as they read a frame of the program.
//
// Samples after the start of the last whole frame that do not fill another
// one are in no frame (at most points - 1 of them, hop - 1 when the span
// is a whole number of hops longer than a frame). The transform is planned
// once; push() allocates nothing.
#pragma once

#include "dsp/FrameBins.h"
#include "dsp/RealFft.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace dsp {

class SpectrumAverage {
 public:
  // Null when the transform cannot be had or hop is not 1 ... points.
  static std::unique_ptr<SpectrumAverage> create(int points, int hop);

  int points() const { return points_; }
  int bins() const { return points_ / 2; }
  // `count` samples, `stride` apart (one channel of interleaved frames).
  void push(const float* samples, size_t count, size_t stride = 1);
  // Called with each frame's powers (bins() values) as it is taken.
  void onFrame(std::function<void(const float* powers)> sink) { sink_ = std::move(sink); }

  uint64_t frames() const { return frames_; }
  // The mean power per bin as a frame: empty before the first frame.
  FrameBins average() const;
  // Per bin, the highest level a frame had: the frame scope's peak hold,
  // held for ever.
  std::vector<double> peakLevels() const;
  // The same per bin as value 1 of a frame point (percent of full scale
  // minus 100), for the estimator to read the held tone from.
  std::vector<double> peakAmplitudes() const;

 private:
  SpectrumAverage(std::unique_ptr<RealFft> fft, int hop);
  void takeFrame();

  std::unique_ptr<RealFft> fft_;
  int points_, hop_;
  std::vector<float> window_;
  std::vector<float> samples_;  // the frame being filled
  size_t filled_ = 0;
  std::vector<float> powers_;  // the latest frame's
  std::vector<double> sums_;
  std::vector<float> highest_;
  uint64_t frames_ = 0;
  std::function<void(const float*)> sink_;
};

}  // namespace dsp
