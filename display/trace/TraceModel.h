// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a trace scope knows: the history of its points, the trigger that
// picks the sweep to show from it, and whether the input reached full scale.
//
// A sweep is a screen's span of the history, placed by its trigger instant
// (interpolated between points) so that the instant falls at the trigger
// position; or, without a trigger, ending at the newest point (rolling).
// The trigger is searched point by point as points come in: a crossing is
// taken when the previous sweep is complete and its hold-off has passed, and
// when the history still holds the part of the screen before it; the sweep
// is shown once the points after it fill the screen.
//
// Modes: Auto shows the latest triggered sweep, and rolls when no crossing
// came for a while after the trigger was ready again (kAutoTimeoutMs, or a
// screen's span when that is longer, so that a slow wave that crosses once
// a screen keeps triggering); Normal keeps
// the latest triggered sweep until a new one is complete; Single takes one
// sweep and then holds it, taking no more points, until re-armed; Off rolls.
// A stopped model (a frozen view) takes no points either: what it shows,
// measures, copies and saves stays as it was, at any timebase.
#pragma once

#include "display/trace/TraceSettings.h"
#include "dsp/CrossingDetector.h"
#include "dsp/TraceHistory.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace quorvel::display {

struct Sweep {
  double start = 0;               // the screen's left edge, in points (fractional)
  double length = 0;              // points across the screen
  std::optional<double> trigger;  // the instant it was triggered at

  // The points on screen: [firstPoint, endPoint).
  int64_t firstPoint() const;
  int64_t endPoint() const;
  // Milliseconds from the left edge of point i, at the given rate.
  double timeMs(double i, int rate) const { return (i - start) * 1000.0 / rate; }
};

class TraceModel {
 public:
  static constexpr double kHistorySeconds = 60;
  static constexpr double kAutoTimeoutMs = 200;
  // Hysteresis of the trigger, as a share of the screen's height.
  static constexpr double kHysteresisOfScreen = 0.02;

  enum class State {
    Rolling,      // Off
    Triggered,    // Auto or Normal: showing a sweep triggered a moment ago
    FreeRunning,  // Auto without a trigger: rolling
    Waiting,      // Normal: no trigger for a while (the last sweep stays)
    Armed,        // Single: waiting for its sweep
    Held,         // Single: its sweep is taken and held
  };

  // rate: points per second; spanPoints: the screen's span at first (held
  // within the timebase's steps).
  TraceModel(int rate, int spanPoints);

  // One point; afterGap: points were lost just before it.
  void add(double v, bool afterGap);
  // Forgets every point and sweep; the settings stay.
  void clear();

  const TraceSettings& settings() const { return settings_; }
  // Changing the mode re-arms the trigger (choosing Single again takes a new
  // single sweep); a new slope, level or hysteresis applies from the next point.
  void setSettings(const TraceSettings& s);
  // Searches afresh from the next point; in Single, takes one more sweep.
  void rearm();

  // While stopped no point is taken.
  void setStopped(bool stopped);
  bool takesPoints() const { return !stopped_ && !held_; }

  State state() const;
  // What the screen shows; none while waiting for a first triggered sweep.
  std::optional<Sweep> sweep() const;
  // A point of the last second (before the newest point) reached full scale.
  bool clipped() const;

  const dsp::TraceHistory& history() const { return history_; }
  int rate() const { return rate_; }
  double spanPoints() const { return settings_.spanMs * rate_ / 1000.0; }
  // How long Auto waits for a crossing before it rolls, in points.
  double autoTimeoutPoints() const { return std::max(kAutoTimeoutMs * rate_ / 1000.0, spanPoints()); }
  // The trigger's hysteresis, full scale.
  double hysteresis() const { return kHysteresisOfScreen * 2.0 / settings_.zoom; }

 private:
  void restartSearch();
  void configureDetector();
  double prePoints() const { return settings_.position * spanPoints(); }
  double postPoints() const { return spanPoints() - prePoints(); }
  Sweep triggeredSweep(double at) const;
  Sweep rollingSweep() const;

  const int rate_;
  TraceSettings settings_;
  dsp::TraceHistory history_;
  dsp::CrossingDetector detector_;
  std::optional<double> pending_;    // taken, its sweep not yet complete
  std::optional<double> completed_;  // the latest complete triggered sweep
  double readyAt_ = 0;               // no crossing before this instant is taken
  bool held_ = false;
  bool stopped_ = false;
  int64_t lastFullScale_ = -1;
};

}  // namespace quorvel::display
