// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sim/LoopbackPath.h"

#include <algorithm>
#include <cmath>

#include "dsp/SincInterpolator.h"

namespace platform::sim {

namespace {
constexpr int kWidth = dsp::SincInterpolator::kHalfWidth;
}

LoopbackChannel::LoopbackChannel(const LoopbackPath& path, std::uint64_t seed)
    : path_(path),
      biquad_(path.biquad.value_or(dsp::BiquadCoefficients{})),
      random_(seed),
      noiseRms_(std::isfinite(path.noiseDbfs) ? std::pow(10.0, path.noiseDbfs / 20) / std::sqrt(2.0) : 0.0),
      rest_(shape(0)),
      // Before the first played sample the path rests at what silence gives.
      history_(kHistory, static_cast<float>(rest_)) {}

double LoopbackChannel::shape(double x) const noexcept {
  if (path_.polynomial.empty()) return x;
  double y = 0;
  for (auto c = path_.polynomial.rbegin(); c != path_.polynomial.rend(); ++c) y = y * x + *c;
  return y;
}

std::uint64_t LoopbackChannel::playedNeeded(std::uint64_t j) const noexcept {
  const double pos = static_cast<double>(j) / path_.clockRatio - path_.delay;
  const double last = std::floor(pos) + kWidth;
  return last < 0 ? 0 : static_cast<std::uint64_t>(last) + 1;
}

void LoopbackChannel::feed(float played) noexcept {
  const double y = shape(biquad_.process(path_.gain * played));
  history_[fed_ % kHistory] = static_cast<float>(y);
  ++fed_;
}

double LoopbackChannel::capture(std::uint64_t j) noexcept {
  const double pos = static_cast<double>(j) / path_.clockRatio - path_.delay;
  const double whole = std::floor(pos);
  const auto i = static_cast<long long>(whole);
  // The interpolator reads kWidth samples either side from one contiguous
  // run: copy them out of the ring (samples before the first are the rest).
  float window[2 * kWidth];
  for (int k = 0; k < 2 * kWidth; ++k) {
    const long long at = i + 1 - kWidth + k;
    window[k] = at < 0 ? static_cast<float>(rest_) : history_[static_cast<std::uint64_t>(at) % kHistory];
  }
  const double v = dsp::SincInterpolator::Instance().at(window + kWidth - 1, pos - whole);
  return v + noiseRms_ * random_.gaussian();
}

void LoopbackChannel::reset() noexcept {
  biquad_.reset();
  std::fill(history_.begin(), history_.end(), static_cast<float>(rest_));
  fed_ = 0;
}

double LoopbackChannel::idle() noexcept { return rest_ + noiseRms_ * random_.gaussian(); }

std::vector<double> RunLoopback(const LoopbackPath& path, const std::vector<float>& played, std::size_t origin,
                                std::size_t frames) {
  LoopbackChannel channel(path, path.seed);
  std::vector<double> out(frames);
  for (std::size_t j = 0; j < frames; ++j) {
    if (j < origin) {
      out[j] = channel.idle();
      continue;
    }
    const std::uint64_t need = channel.playedNeeded(j - origin);
    while (channel.fed() < need) {
      const std::uint64_t k = channel.fed();
      channel.feed(k < played.size() ? played[k] : 0.0f);
    }
    out[j] = channel.capture(j - origin);
  }
  return out;
}

}  // namespace platform::sim
