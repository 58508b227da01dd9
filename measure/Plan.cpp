// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/Plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "measure/Quantizer.h"

namespace measure {

namespace {

// Silence, then `count` times `body` (length `bodyFrames`) each in a slot
// of `period` samples, then silence to `total`.
class Sequence : public Stimulus {
 public:
  Sequence(std::vector<float> body, std::uint64_t preRoll, std::uint64_t period, int count, std::uint64_t total,
           std::string description)
      : body_(std::move(body)),
        preRoll_(preRoll),
        period_(period),
        count_(count),
        total_(total),
        description_(std::move(description)) {}

  std::uint64_t frames() const noexcept override { return total_; }
  void rewind() noexcept override { index_ = 0; }
  std::string describe() const override { return description_; }
  void render(float* out, std::size_t n) noexcept override {
    for (std::size_t i = 0; i < n; ++i, ++index_) {
      float v = 0;
      if (index_ >= preRoll_ && index_ < total_) {
        const std::uint64_t at = index_ - preRoll_;
        const std::uint64_t r = at / period_, k = at % period_;
        if (r < static_cast<std::uint64_t>(count_) && k < body_.size()) v = body_[k];
      }
      out[i] = v;
    }
  }

 private:
  std::vector<float> body_;
  std::uint64_t preRoll_, period_;
  int count_;
  std::uint64_t total_;
  std::string description_;
  std::uint64_t index_ = 0;
};

std::vector<float> RenderAll(Stimulus& s, std::uint64_t frames) {
  std::vector<float> out(frames);
  s.rewind();
  s.render(out.data(), out.size());
  return out;
}

}  // namespace

Plan::Plan(const Settings& settings) : settings_(settings) {
  const double rate = settings.rate;
  preRoll_ = static_cast<std::uint64_t>(0.5 * rate);
  if (settings.kind == Settings::Kind::Sweep) {
    const double from = std::max(1.0, settings.fromHz / 2);
    const double to = std::min(settings.toHz * 1.1, 0.495 * rate);
    // Fades: half an octave at the bottom, the top 2 % at the top.
    const double l = settings.seconds / std::log(to / from);
    sweep_ = std::make_shared<Sweep>(Sweep::Law::Exponential, from, to, settings.seconds, settings.levelDbfs,
                                     settings.rate, l * std::log(std::sqrt(2.0)), l * std::log(1.02));
    repetitions_ = settings.averages;
    period_ = sweep_->frames() + static_cast<std::uint64_t>(rate);
    postRoll_ = 0;
  } else {
    const std::size_t n = settings.rate > 48000 ? 1u << 17 : 1u << 16;
    noise_ = std::make_shared<Noise>(Noise::Colour::Pink, settings.levelDbfs, settings.rate, 0, n);
    repetitions_ = 1 + std::max(2, settings.averages);
    period_ = n;
    postRoll_ = static_cast<std::uint64_t>(0.2 * rate);
  }
  frames_ = preRoll_ + period_ * static_cast<std::uint64_t>(repetitions_) + postRoll_;
}

// The samples as they leave the player: 16 bits, rounded without dither,
// so that the analysis divides by exactly what was played.
std::vector<float> Plan::body() const {
  std::vector<float> body;
  if (sweep_) {
    Sweep s = *sweep_;
    body = RenderAll(s, s.frames());
  } else {
    body = noise_->period();
  }
  Quantizer quantize;
  for (float& v : body) v = static_cast<float>(quantize(v)) / 32768.0f;
  return body;
}

std::unique_ptr<Stimulus> Plan::makeStimulus() const {
  return std::make_unique<Sequence>(body(), preRoll_, period_, repetitions_, frames_, describe());
}

std::string Plan::describe() const {
  char text[200];
  if (sweep_)
    std::snprintf(text, sizeof text, "%s, %d time%s", sweep_->describe().c_str(), repetitions_,
                  repetitions_ == 1 ? "" : "s");
  else
    std::snprintf(text, sizeof text, "periodic pink noise at %.2f dBFS, %d periods of %.2f s after one to settle",
                  settings_.levelDbfs, repetitions_ - 1, static_cast<double>(period_) / settings_.rate);
  return text;
}

}  // namespace measure
