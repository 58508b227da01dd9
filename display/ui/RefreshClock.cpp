// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/RefreshClock.h"

#include "display/ui/RefreshPhase.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace quorvel::display {

namespace {

struct Shared {
  explicit Shared(int64_t intervalNs) : phase(intervalNs) {}
  QTimer timer;  // single shot, set again after each tick
  RefreshPhase phase;
  std::vector<RefreshClock*> members;
  // Blocks in a row taken as the GUI thread was about to sleep: from
  // kEarlyInARow of them on, the host is taken to wake it after each.
  size_t takenEarly = 0;
  // When a tick last found points waiting (steady clock, ns); none yet: idle.
  int64_t lastFound = INT64_MIN / 2;
};
// Made with the first member, gone with the last: no timer outlives the
// windows (nor the application).
Shared* shared = nullptr;

constexpr size_t kEarlyInARow = 8;
constexpr int64_t kFallbackIntervals = 4;
// With no points for longer than a stopped input takes to show as stopped
// (PlotView::kStallMs), the ticks only watch for points from a host that
// does not wake the GUI thread, and keep the health line, set twice a
// second, as it was: four a second instead of the screen's rate. The
// program left open before a start woke sixty times a second for them and
// took 0.6-0.8 % of a core; now six times and 0.10-0.15 %.
constexpr int64_t kIdleAfterNs = 3'000'000'000;
constexpr int64_t kIdleIntervalNs = 250'000'000;

int64_t refreshIntervalNs(const QScreen* screen) {
  const double hz = std::clamp(screen ? screen->refreshRate() : 60.0, 1.0, 60.0);
  return int64_t(std::ceil(1e9 / hz));
}

int64_t steadyNow() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

void setNextTick() {
  const int64_t now = steadyNow();
  const int64_t next = now - shared->lastFound > kIdleAfterNs ? now + kIdleIntervalNs
                       : shared->takenEarly >= kEarlyInARow   ? now + kFallbackIntervals * shared->phase.interval()
                                                              : shared->phase.next(now);
  const int64_t ms = (next - now + 999'999) / 1'000'000;
  shared->timer.start(int(std::max<int64_t>(ms, 1)));
}

}  // namespace

RefreshClock::RefreshClock(std::function<bool()> pending, std::function<void()> tick)
    : pending_(std::move(pending)), tick_(std::move(tick)) {
  if (shared == nullptr) {
    shared = new Shared(refreshIntervalNs(QGuiApplication::primaryScreen()));
    shared->timer.setSingleShot(true);
    shared->timer.setTimerType(Qt::PreciseTimer);
    // Each member's tick is called, a window's with nothing queued too: the
    // windows watch for input that stopped at every tick.
    auto tickAll = [](bool early) {
      const bool found = std::any_of(shared->members.begin(), shared->members.end(),
                                     [](const RefreshClock* m) { return m->pending_(); });
      if (early && !found) return;
      for (RefreshClock* member : shared->members) member->tick_();
      if (found) {
        shared->takenEarly = early ? shared->takenEarly + 1 : 0;
        shared->lastFound = steadyNow();
      }
      setNextTick();
    };
    QObject::connect(&shared->timer, &QTimer::timeout, [tickAll] { tickAll(false); });
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
      QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &shared->timer,
                       [tickAll] { tickAll(true); });
    setNextTick();
  }
  shared->members.push_back(this);
}

void RefreshClock::arrived(int64_t ns) { shared->phase.arrived(ns); }

RefreshClock::~RefreshClock() {
  std::erase(shared->members, this);
  if (shared->members.empty()) {
    delete shared;
    shared = nullptr;
  }
}

}  // namespace quorvel::display
