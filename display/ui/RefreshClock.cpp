// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/RefreshClock.h"

#include "display/ui/RefreshPhase.h"

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
};
// Made with the first member, gone with the last: no timer outlives the
// windows (nor the application).
Shared* shared = nullptr;

int64_t refreshIntervalNs(const QScreen* screen) {
  const double hz = std::clamp(screen ? screen->refreshRate() : 60.0, 1.0, 60.0);
  return int64_t(std::ceil(1e9 / hz));
}

int64_t steadyNow() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

void setNextTick() {
  const int64_t now = steadyNow();
  const int64_t ms = (shared->phase.next(now) - now + 999'999) / 1'000'000;
  shared->timer.start(int(std::max<int64_t>(ms, 1)));
}

}  // namespace

RefreshClock::RefreshClock(std::function<void()> tick) : tick_(std::move(tick)) {
  if (shared == nullptr) {
    shared = new Shared(refreshIntervalNs(QGuiApplication::primaryScreen()));
    shared->timer.setSingleShot(true);
    shared->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&shared->timer, &QTimer::timeout, [] {
      for (RefreshClock* member : shared->members) member->tick_();
      setNextTick();
    });
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
