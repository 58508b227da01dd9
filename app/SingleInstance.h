// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One copy of the program per user and display. The first copy holds a lock
// file and listens on a local socket beside it; a later copy finds the lock
// taken, asks the first through the socket to come to the front, and ends,
// before it has touched a device, a scope or a setting (so it never
// overwrites what the first remembers). A lock left by a copy that died is
// taken over.
//
// The socket is a plain Unix one watched by the event loop: a line "raise"
// is the whole protocol, and so the program loads no networking library for
// it (with its dependencies, more than a megabyte resident).
#pragma once

#include <QLockFile>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <memory>

namespace app {

class SingleInstance {
 public:
  // The lock and the socket are `dir`/`name`.lock and `dir`/`name`.
  SingleInstance(const QString& dir, const QString& name);
  // In the user's runtime directory, named after the display.
  static SingleInstance ForThisDisplay();
  // Stops listening and removes the socket, while the lock is still held.
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

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
  void listen();
  // Takes the connections waiting on the listening socket.
  void accept();

  QString path_;
  QLockFile lock_;
  // The listening socket's; the connections' notifiers are its children.
  std::unique_ptr<QSocketNotifier> listener_;
};

}  // namespace app
