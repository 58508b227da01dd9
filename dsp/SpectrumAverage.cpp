// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/SpectrumAverage.h"

#include "dsp/FrameScale.h"
#include "dsp/WindowShape.h"

#include <algorithm>
#include <cstring>

namespace dsp {

std::unique_ptr<SpectrumAverage> SpectrumAverage::create(int points, int hop) {
  if (hop < 1 || hop > points) return nullptr;
  std::unique_ptr<RealFft> fft = RealFft::create(points);
  if (!fft) return nullptr;
  return std::unique_ptr<SpectrumAverage>(new SpectrumAverage(std::move(fft), hop));
}

SpectrumAverage::SpectrumAverage(std::unique_ptr<RealFft> fft, int hop)
    : fft_(std::move(fft)),
      points_(fft_->points()),
      hop_(hop),
      window_(analyserWindow(points_)),
      samples_(size_t(points_)),
      powers_(size_t(bins())),
      sums_(size_t(bins())),
      highest_(size_t(bins())) {}

void SpectrumAverage::push(const float* samples, size_t count, size_t stride) {
  while (count > 0) {
    const size_t n = std::min(count, samples_.size() - filled_);
    float* to = samples_.data() + filled_;
    if (stride == 1)
      std::memcpy(to, samples, n * sizeof(float));
    else
      for (size_t i = 0; i < n; ++i) to[i] = samples[i * stride];
    filled_ += n;
    samples += n * stride;
    count -= n;
    if (filled_ == samples_.size()) takeFrame();
  }
}

void SpectrumAverage::takeFrame() {
  float* in = fft_->input();
  for (int n = 0; n < points_; ++n) in[n] = samples_[size_t(n)] * window_[size_t(n)];
  fft_->execute();
  const std::complex<float>* out = fft_->output();
  for (size_t k = 0; k < powers_.size(); ++k) {
    const float p = out[k].real() * out[k].real() + out[k].imag() * out[k].imag();
    powers_[k] = p;
    sums_[k] += p;
    highest_[k] = std::max(highest_[k], p);
  }
  ++frames_;
  if (sink_) sink_(powers_.data());
  // The next frame starts hop samples on: keep what it shares with this one.
  filled_ = samples_.size() - size_t(hop_);
  std::memmove(samples_.data(), samples_.data() + hop_, filled_ * sizeof(float));
}

FrameBins SpectrumAverage::average() const {
  FrameBins f;
  if (frames_ == 0) return f;
  f.levels.resize(sums_.size());
  f.amplitudes.resize(sums_.size());
  for (size_t k = 0; k < sums_.size(); ++k) {
    const long double a = frameAmplitude(sums_[k] / double(frames_), points_);
    f.levels[k] = double(frameLevelDb(a));
    f.amplitudes[k] = double(frameAmplitudePercent(a));
  }
  return f;
}

std::vector<double> SpectrumAverage::peakLevels() const {
  std::vector<double> levels;
  if (frames_ == 0) return levels;
  // The level grows with the power: the highest power gives the highest level.
  levels.reserve(highest_.size());
  for (float p : highest_) levels.push_back(double(frameLevelDb(frameAmplitude(p, points_))));
  return levels;
}

std::vector<double> SpectrumAverage::peakAmplitudes() const {
  std::vector<double> amplitudes;
  if (frames_ == 0) return amplitudes;
  amplitudes.reserve(highest_.size());
  for (float p : highest_) amplitudes.push_back(double(frameAmplitudePercent(frameAmplitude(p, points_))));
  return amplitudes;
}

}  // namespace dsp
