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

int64_t Sweep::firstPoint() const { return std::max(int64_t(std::ceil(start)), from); }
int64_t Sweep::endPoint() const { return std::min(int64_t(std::ceil(start + length)), to); }

TraceModel::TraceModel(int rate, int spanPoints) : rate_(rate), history_(size_t(std::ceil(kHistorySeconds * rate))) {
  settings_.spanMs = std::clamp(spanPoints * 1000.0 / rate, kMinSpanMs, kMaxSpanMs);
  hysteresis_ = wantedHysteresis();
  configureDetector();
}

double TraceModel::wantedHysteresis() const {
  const double ofScreen = kHysteresisOfScreen * 2.0 / settings_.zoom;
  if (!swingKnown_) return ofScreen;
  const double swing = double(std::max(swingHi_, lastHi_)) - double(std::min(swingLo_, lastLo_));
  return std::clamp(kHysteresisOfSwing * swing, 1.0 / 32768, ofScreen);
}

void TraceModel::followSwing(float x) {
  if (swingPoints_ == 0) swingLo_ = swingHi_ = x;
  swingLo_ = std::min(swingLo_, x);
  swingHi_ = std::max(swingHi_, x);
  if (++swingPoints_ < int(kSwingMs / 2 * rate_ / 1000)) return;
  if (!swingKnown_) lastLo_ = swingLo_, lastHi_ = swingHi_;
  swingKnown_ = true;
  // A hysteresis far from the one wanted is replaced; the search starts
  // again, which costs a crossing at most.
  const double wanted = wantedHysteresis();
  if (wanted > hysteresis_ * 1.5 || wanted < hysteresis_ / 1.5) {
    hysteresis_ = wanted;
    configureDetector();
  }
  lastLo_ = swingLo_;
  lastHi_ = swingHi_;
  swingPoints_ = 0;
}

void TraceModel::add(double v, bool afterGap) {
  if (afterGap || breakPending_) breakHere();
  const float x = std::isnan(v) ? 0.0f : float(std::clamp(v, -kBound, kBound));
  const int64_t i = history_.end();
  history_.add(x);
  if (dsp::atFullScale(x)) lastFullScale_ = i;
  followSwing(x);
  if (settings_.mode == TriggerMode::Off || held_) return;

  if (pending_ && double(i) >= *pending_ + postPoints()) {
    completed_ = pending_;
    completedFrom_ = stretchBegin_;
    completedTo_ = std::numeric_limits<int64_t>::max();
    pending_.reset();
    readyAt_ = *completed_ + postPoints() + settings_.holdOffMs * rate_ / 1000.0;
    if (settings_.mode == TriggerMode::Single) {
      take(heldStill_, nullptr);
      held_ = true;
      return;
    }
  }
  double at;
  if (detector_.step(x, i, at)) {
    // The screen's part before the crossing must be points that came just
    // before it, all held and unbroken.
    const double firstNeeded = double(std::max(history_.begin(), stretchBegin_));
    if (!pending_ && at >= readyAt_ && at - prePoints() >= firstNeeded) pending_ = at;
  } else if (settings_.mode == TriggerMode::Auto && completed_ && !pending_ &&
             double(i) - readyAt_ > autoTimeoutPoints()) {
    completed_.reset();  // free-running from here
  }
}

void TraceModel::breakHere() {
  breakPending_ = false;
  const int64_t at = history_.end();
  if (at == stretchBegin_) return;  // nothing came since the last break
  stretchBegin_ = at;
  if (completed_ && completedTo_ > at) completedTo_ = at;
  breaks_.erase(breaks_.begin(), std::lower_bound(breaks_.begin(), breaks_.end(), history_.begin()));
  breaks_.push_back(at);
  restartSearch();
}

void TraceModel::clear() {
  history_.clear();
  completed_.reset();
  held_ = false;
  breakPending_ = false;
  stretchBegin_ = 0;
  breaks_.clear();
  lastFullScale_ = -1;
  swingPoints_ = 0;
  swingKnown_ = false;
  hysteresis_ = wantedHysteresis();
  configureDetector();
  heldStill_.sweep.reset();
  frozenStill_.sweep.reset();
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
  if (settings_.slope != old.slope || settings_.level != old.level || settings_.zoom != old.zoom) {
    hysteresis_ = wantedHysteresis();
    configureDetector();
  }
  if (settings_.mode != old.mode) rearm();
}

void TraceModel::rearm() {
  held_ = false;
  restartSearch();
}

void TraceModel::setStopped(bool stopped) {
  if (stopped == stopped_) return;
  if (stopped) take(frozenStill_, held_ ? &heldStill_ : nullptr);
  stopped_ = stopped;
}

void TraceModel::restartSearch() {
  detector_.restart();
  pending_.reset();
  readyAt_ = double(history_.end());
}

void TraceModel::configureDetector() {
  detector_ = dsp::CrossingDetector(settings_.slope, settings_.level, hysteresis());
}

TraceModel::State TraceModel::liveState() const {
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

TraceModel::State TraceModel::state() const { return stopped_ ? frozenStill_.state : liveState(); }

std::optional<Sweep> TraceModel::liveSweep() const {
  if (completed_ && settings_.mode != TriggerMode::Off) {
    Sweep s = triggeredSweep(*completed_);
    s.from = completedFrom_;
    s.to = completedTo_;
    return s;
  }
  if (settings_.mode == TriggerMode::Auto || settings_.mode == TriggerMode::Off) {
    Sweep s = rollingSweep();
    s.from = stretchBegin_;
    return s;
  }
  return std::nullopt;
}

const TraceModel::Still* TraceModel::shownStill() const {
  if (stopped_) return &frozenStill_;
  if (held_) return &heldStill_;
  return nullptr;
}

std::optional<Sweep> TraceModel::sweep() const {
  const Still* still = shownStill();
  return still ? relaid(*still) : liveSweep();
}

const dsp::TraceHistory& TraceModel::shownPoints() const {
  const Still* still = shownStill();
  return still && still->points ? *still->points : history_;
}

bool TraceModel::liveClipped() const { return lastFullScale_ >= 0 && lastFullScale_ >= history_.end() - rate_; }

bool TraceModel::clipped() const {
  const Still* still = shownStill();
  return still ? still->clipped : liveClipped();
}

void TraceModel::take(Still& still, const Still* source) const {
  const dsp::TraceHistory& from = source && source->points ? *source->points : history_;
  const int64_t offset = source ? source->offset : 0;
  // Enough for the longest span, so that the copy can be looked at with any timebase.
  const size_t capacity = size_t(std::ceil(kMaxSpanMs * rate_ / 1000.0)) + 2;
  if (!still.points) still.points = std::make_unique<dsp::TraceHistory>(capacity);
  dsp::TraceHistory& to = *still.points;
  to.clear();
  const int64_t first = std::max(from.begin(), from.end() - int64_t(capacity));
  from.forEachRun(first, from.end(), [&](const float* v, size_t n, int64_t) {
    for (size_t k = 0; k < n; ++k) to.add(v[k]);
  });
  still.offset = offset + first;
  still.sweep = source ? source->sweep : liveSweep();
  still.state = source ? source->state : liveState();
  still.clipped = source ? source->clipped : liveClipped();
  // Numbered from the copy's first point from here on.
  if (source == nullptr && still.sweep) {
    still.sweep->from = std::max(still.sweep->from, first);
    still.sweep->to = std::min(still.sweep->to, from.end());
  }
}

std::optional<Sweep> TraceModel::relaid(const Still& still) const {
  if (!still.sweep) return std::nullopt;
  const Sweep& was = *still.sweep;
  // In the history's numbering, with the span and position of now.
  Sweep s = was.trigger ? triggeredSweep(*was.trigger) : Sweep{double(was.to) - spanPoints(), spanPoints(), {}};
  s.from = was.from;
  s.to = was.to;
  // On the copy's numbering.
  const double shift = double(still.offset);
  s.start -= shift;
  if (s.trigger) *s.trigger -= shift;
  s.from = std::max<int64_t>(0, s.from - still.offset);
  s.to -= still.offset;
  return s;
}

namespace {

// The smallest and largest of the newest points of the stretch.
std::optional<std::pair<double, double>> recentRange(const dsp::TraceHistory& h, int64_t stretchBegin, double points) {
  const int64_t from = std::max({h.begin(), stretchBegin, h.end() - int64_t(std::ceil(points))});
  const dsp::PointStats s = dsp::pointStats(h, from, h.end());
  if (!s.count) return std::nullopt;
  return std::pair{s.min, s.max};
}

}  // namespace

std::optional<bool> TraceModel::levelInReach() const {
  const auto r = recentRange(history_, stretchBegin_, std::max(spanPoints(), kRecentMs * rate_ / 1000.0));
  if (!r) return std::nullopt;
  const auto [lo, hi] = *r;
  const double level = settings_.level, h = hysteresis();
  return settings_.slope == Slope::Rising ? lo < level - h && hi >= level : hi > level + h && lo <= level;
}

std::optional<double> TraceModel::autoLevel() const {
  const auto r = recentRange(history_, stretchBegin_, std::max(spanPoints(), kRecentMs * rate_ / 1000.0));
  if (!r) return std::nullopt;
  return (r->first + r->second) / 2;
}

Sweep TraceModel::triggeredSweep(double at) const { return {at - prePoints(), spanPoints(), at}; }

Sweep TraceModel::rollingSweep() const { return {double(history_.end()) - spanPoints(), spanPoints(), std::nullopt}; }

}  // namespace quorvel::display
