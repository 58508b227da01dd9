// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One copy of the program per user and display. The first copy holds a lock
// file and listens on a local socket beside it; a later copy finds the lock
// taken, asks the first through the socket to come to the front, and ends,
// before it has touched a device, a scope or a setting (so it never
// overwrites what the first remembers). A lock left by a copy that died is
// taken over.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>

#include <functional>

namespace app {

class SingleInstance {
 public:
  // The lock and the socket are `dir`/`name`.lock and `dir`/`name`.
  SingleInstance(const QString& dir, const QString& name);
  // In the user's runtime directory, named after the display.
  static SingleInstance ForThisDisplay();

  enum class Claim {
    First,     // this is the first copy: it now listens for later ones
    Asked,     // another copy runs and was asked to come to the front
    NoAnswer,  // another copy holds the lock but did not take the request
  };
  // waitMs: how long to keep trying to reach the first copy, which may be
  // starting up.
  Claim claim(int waitMs = 3000);

  // Called on the GUI thread of the first copy when a later one asks.
  std::function<void()> OnRaise;

 private:
  QString path_;
  QLockFile lock_;
  QLocalServer server_;
};

}  // namespace app
