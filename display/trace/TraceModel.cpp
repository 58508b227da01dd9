// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/trace/TraceModel.h"

#include "dsp/TraceMeasurements.h"

#include <algorithm>
#include <cmath>

namespace quorvel::display {

namespace {

// Values far beyond full scale (or infinite) are held here, so that every
// sum over the history stays finite.
constexpr double kBound = 1e9;

}  // namespace

int64_t Sweep::firstPoint() const { return int64_t(std::ceil(start)); }
int64_t Sweep::endPoint() const { return int64_t(std::ceil(start + length)); }

TraceModel::TraceModel(int rate, int spanPoints) : rate_(rate), history_(size_t(std::ceil(kHistorySeconds * rate))) {
  settings_.spanMs = std::clamp(spanPoints * 1000.0 / rate, kMinSpanMs, kMaxSpanMs);
  configureDetector();
}

void TraceModel::add(double v, bool afterGap) {
  if (!takesPoints()) return;
  if (afterGap) restartSearch();
  const float x = std::isnan(v) ? 0.0f : float(std::clamp(v, -kBound, kBound));
  const int64_t i = history_.end();
  history_.add(x);
  if (dsp::atFullScale(x)) lastFullScale_ = i;
  if (settings_.mode == TriggerMode::Off) return;

  if (pending_ && double(i) >= *pending_ + postPoints()) {
    completed_ = pending_;
    pending_.reset();
    readyAt_ = *completed_ + postPoints() + settings_.holdOffMs * rate_ / 1000.0;
    if (settings_.mode == TriggerMode::Single) {
      held_ = true;
      return;
    }
  }
  double at;
  if (detector_.step(x, i, at)) {
    if (!pending_ && at >= readyAt_ && at - prePoints() >= double(history_.begin())) pending_ = at;
  } else if (settings_.mode == TriggerMode::Auto && completed_ && !pending_ &&
             double(i) - readyAt_ > autoTimeoutPoints()) {
    completed_.reset();  // free-running from here
  }
}

void TraceModel::clear() {
  history_.clear();
  completed_.reset();
  held_ = false;
  lastFullScale_ = -1;
  restartSearch();
}

void TraceModel::setSettings(const TraceSettings& s) {
  const TraceSettings old = settings_;
  settings_ = s;
  settings_.spanMs = std::clamp(s.spanMs, kMinSpanMs, kMaxSpanMs);
  settings_.zoom = std::clamp(s.zoom, 1, kMaxZoom);
  settings_.level = std::clamp(s.level, -1.0, 1.0);
  settings_.position = std::clamp(s.position, 0.0, 1.0);
  settings_.holdOffMs = std::max(0.0, s.holdOffMs);
  if (settings_.slope != old.slope || settings_.level != old.level || settings_.zoom != old.zoom) configureDetector();
  if (settings_.mode != old.mode) rearm();
}

void TraceModel::rearm() {
  held_ = false;
  restartSearch();
}

void TraceModel::setStopped(bool stopped) {
  if (stopped == stopped_) return;
  stopped_ = stopped;
  // The points that come next do not follow the last one taken.
  if (!stopped) restartSearch();
}

void TraceModel::restartSearch() {
  detector_.restart();
  pending_.reset();
  readyAt_ = double(history_.end());
}

void TraceModel::configureDetector() {
  detector_ = dsp::CrossingDetector(settings_.slope, settings_.level, hysteresis());
}

TraceModel::State TraceModel::state() const {
  switch (settings_.mode) {
    case TriggerMode::Off:
      return State::Rolling;
    case TriggerMode::Auto:
      return completed_ ? State::Triggered : State::FreeRunning;
    case TriggerMode::Normal: {
      const bool recent = pending_ || double(history_.end()) - readyAt_ <= autoTimeoutPoints();
      return completed_ && recent ? State::Triggered : State::Waiting;
    }
    case TriggerMode::Single:
      return held_ ? State::Held : State::Armed;
  }
  return State::Rolling;
}

std::optional<Sweep> TraceModel::sweep() const {
  if (completed_ && settings_.mode != TriggerMode::Off) return triggeredSweep(*completed_);
  if (settings_.mode == TriggerMode::Auto || settings_.mode == TriggerMode::Off) return rollingSweep();
  return std::nullopt;
}

Sweep TraceModel::triggeredSweep(double at) const { return {at - prePoints(), spanPoints(), at}; }

Sweep TraceModel::rollingSweep() const { return {double(history_.end()) - spanPoints(), spanPoints(), std::nullopt}; }

bool TraceModel::clipped() const { return lastFullScale_ >= 0 && lastFullScale_ >= history_.end() - rate_; }

}  // namespace quorvel::display
