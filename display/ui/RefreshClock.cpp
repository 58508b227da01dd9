// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/RefreshClock.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorvel::display {

namespace {

struct Shared {
  QTimer timer;
  std::vector<RefreshClock*> members;
};
// Made with the first member, gone with the last: no timer outlives the
// windows (nor the application).
Shared* shared = nullptr;

int refreshIntervalMs(const QScreen* screen) {
  const double hz = std::clamp(screen ? screen->refreshRate() : 60.0, 1.0, 60.0);
  return int(std::ceil(1000.0 / hz));
}

}  // namespace

RefreshClock::RefreshClock(std::function<void()> tick) : tick_(std::move(tick)) {
  if (shared == nullptr) {
    shared = new Shared;
    shared->timer.setInterval(refreshIntervalMs(QGuiApplication::primaryScreen()));
    QObject::connect(&shared->timer, &QTimer::timeout, [] {
      for (RefreshClock* member : shared->members) member->tick_();
    });
    shared->timer.start();
  }
  shared->members.push_back(this);
}

RefreshClock::~RefreshClock() {
  std::erase(shared->members, this);
  if (shared->members.empty()) {
    delete shared;
    shared = nullptr;
  }
}

}  // namespace quorvel::display
