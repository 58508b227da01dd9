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
// sweep and then holds it until re-armed; Off rolls.
//
// Every sweep is one unbroken stretch of the input. The history takes every
// point that comes, whatever is shown (a held sweep, a frozen view), so that
// the points before a crossing are the ones that really came before it; and
// where the input broke off (points lost, the sender paused) no sweep
// reaches across the break. A held sweep and a frozen view show a still
// copy of the points: what they show, measure and copy stays as it was, at
// any timebase, however long they are kept.
#pragma once

#include "display/trace/TraceSettings.h"
#include "dsp/CrossingDetector.h"
#include "dsp/TraceHistory.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel::display {

struct Sweep {
  double start = 0;               // the screen's left edge, in points (fractional)
  double length = 0;              // points across the screen
  std::optional<double> trigger;  // the instant it was triggered at
  // The unbroken stretch of input the sweep lies in, [from, to): points
  // outside it are not shown, measured or copied with it.
  int64_t from = std::numeric_limits<int64_t>::min();
  int64_t to = std::numeric_limits<int64_t>::max();

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
  // Hysteresis of the trigger: a share of the screen's height, or of the
  // swing of the last kSwingMs of input when that is smaller, so that a
  // signal too small to see well at the zoom still triggers; never below
  // one step of 16 bits.
  static constexpr double kHysteresisOfScreen = 0.02;
  static constexpr double kHysteresisOfSwing = 0.2;
  static constexpr double kSwingMs = 100;

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
  // The next point does not follow the last one: the sender paused.
  void markBreak() { breakPending_ = true; }
  // Forgets every point and sweep; the settings stay.
  void clear();

  const TraceSettings& settings() const { return settings_; }
  // Changing the mode re-arms the trigger (choosing Single again takes a new
  // single sweep); a new slope, level or hysteresis applies from the next point.
  void setSettings(const TraceSettings& s);
  // Searches afresh from the next point; in Single, takes one more sweep.
  void rearm();

  // A stopped model (a frozen view) goes on taking points and triggering,
  // but shows a still copy of what it showed when it was stopped.
  void setStopped(bool stopped);
  bool stopped() const { return stopped_; }

  State state() const;
  // What the screen shows, placed on shownPoints(); none while waiting for
  // a first triggered sweep.
  std::optional<Sweep> sweep() const;
  // The points the shown sweep is drawn from: the history, or the still
  // copy of a held sweep or a frozen view (numbered from its own first point).
  const dsp::TraceHistory& shownPoints() const;
  // A point of the last second (before the newest point shown) reached full scale.
  bool clipped() const;

  // The newest points of the input, over the screen's span or at least
  // kRecentMs: whether they cross the trigger's level in its direction,
  // beyond its hysteresis (none before any point came).
  static constexpr double kRecentMs = 100;
  std::optional<bool> levelInReach() const;
  // Half-way between the smallest and the largest of those points: a level
  // any signal among them crosses (none before any point came).
  std::optional<double> autoLevel() const;

  // Every point of the last kHistorySeconds, as it came.
  const dsp::TraceHistory& history() const { return history_; }
  // Where the input broke off, oldest first: the first point after each
  // break that the history still holds.
  const std::vector<int64_t>& breaks() const { return breaks_; }
  int rate() const { return rate_; }
  double spanPoints() const { return settings_.spanMs * rate_ / 1000.0; }
  // How long Auto waits for a crossing before it rolls, in points.
  double autoTimeoutPoints() const { return std::max(kAutoTimeoutMs * rate_ / 1000.0, spanPoints()); }
  // The trigger's hysteresis now, full scale.
  double hysteresis() const { return hysteresis_; }

 private:
  // A still copy of what the screen showed: the points up to the longest
  // span before its end, and the sweep as it was placed on them.
  struct Still {
    std::unique_ptr<dsp::TraceHistory> points;
    int64_t offset = 0;  // the number, in the history, of the copy's point 0
    std::optional<Sweep> sweep;
    State state = State::Rolling;
    bool clipped = false;
  };

  void restartSearch();
  void configureDetector();
  void breakHere();
  // Follows the input's swing, half of kSwingMs at a time.
  void followSwing(float x);
  double wantedHysteresis() const;
  double prePoints() const { return settings_.position * spanPoints(); }
  double postPoints() const { return spanPoints() - prePoints(); }
  Sweep triggeredSweep(double at) const;
  Sweep rollingSweep() const;
  std::optional<Sweep> liveSweep() const;
  State liveState() const;
  bool liveClipped() const;
  // The still being shown, if any.
  const Still* shownStill() const;
  // Copies what source shows (the live history and sweep when null) into still.
  void take(Still& still, const Still* source) const;
  // The sweep of still laid out with the settings of now, on its own points.
  std::optional<Sweep> relaid(const Still& still) const;

  const int rate_;
  TraceSettings settings_;
  dsp::TraceHistory history_;
  dsp::CrossingDetector detector_;
  std::optional<double> pending_;    // taken, its sweep not yet complete
  std::optional<double> completed_;  // the latest complete triggered sweep
  int64_t completedFrom_ = 0, completedTo_ = std::numeric_limits<int64_t>::max();  // its stretch
  double readyAt_ = 0;        // no crossing before this instant is taken
  int64_t stretchBegin_ = 0;  // the first point after the latest break
  bool breakPending_ = false;
  std::vector<int64_t> breaks_;
  bool held_ = false;
  bool stopped_ = false;
  Still heldStill_, frozenStill_;
  int64_t lastFullScale_ = -1;
  double hysteresis_ = 0;
  // The swing of the current and the previous half of kSwingMs.
  float swingLo_ = 0, swingHi_ = 0, lastLo_ = 0, lastHi_ = 0;
  int swingPoints_ = 0;
  bool swingKnown_ = false;
};

}  // namespace quorvel::display
