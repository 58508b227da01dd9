// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/Loudness.h"

#include <ebur128.h>

#include <cmath>

namespace dsp {

namespace {

std::optional<double> finite(double v) { return std::isfinite(v) ? std::optional(v) : std::nullopt; }

}  // namespace

struct Loudness::Meter {
  ebur128_state* state;
};

std::unique_ptr<Loudness> Loudness::create(int channels, long rate, Parts parts) {
  if (channels < 1 || rate < 1 || !(parts & kAll)) return nullptr;
  const int mode =
      (parts & kProgramme ? EBUR128_MODE_I | EBUR128_MODE_LRA : 0) | (parts & kTruePeak ? EBUR128_MODE_TRUE_PEAK : 0);
  ebur128_state* state = ebur128_init(unsigned(channels), static_cast<unsigned long>(rate), mode);
  if (!state) return nullptr;
  // libebur128 leaves channels past the sixth out; the standard counts them once.
  for (int c = 6; c < channels; ++c) ebur128_set_channel(state, unsigned(c), EBUR128_CENTER);
  return std::unique_ptr<Loudness>(new Loudness(new Meter{state}, channels));
}

Loudness::~Loudness() {
  ebur128_destroy(&meter_->state);
  delete meter_;
}

void Loudness::push(const float* frames, size_t count) { ebur128_add_frames_float(meter_->state, frames, count); }

std::optional<double> Loudness::integratedLufs() const {
  double v = 0;
  return ebur128_loudness_global(meter_->state, &v) == EBUR128_SUCCESS ? finite(v) : std::nullopt;
}

std::optional<double> Loudness::rangeLu() const {
  double v = 0;
  return ebur128_loudness_range(meter_->state, &v) == EBUR128_SUCCESS ? finite(v) : std::nullopt;
}

std::optional<double> Loudness::truePeakDbtp(int channel) const {
  double v = 0;
  if (ebur128_true_peak(meter_->state, unsigned(channel), &v) != EBUR128_SUCCESS || !(v > 0)) return std::nullopt;
  return 20 * std::log10(v);
}

}  // namespace dsp
