// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace app {

namespace {
constexpr char kRaise[] = "raise\n";
}

SingleInstance::SingleInstance(const QString& dir, const QString& name)
    : path_(QDir(dir).filePath(name)), lock_(path_ + QStringLiteral(".lock")) {
  // A lock is stale only when the process that wrote it is gone, however old.
  lock_.setStaleLockTime(0);
  QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
        while (peer->canReadLine())
          if (peer->readLine() == kRaise && OnRaise) OnRaise();
      });
    }
  });
}

SingleInstance SingleInstance::ForThisDisplay() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  // One copy per display: ":0" and "wayland-0" make different names.
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY"));
  if (display.isEmpty()) display = QGuiApplication::platformName();
  display.replace(QLatin1Char('/'), QLatin1Char('_'));
  return SingleInstance(dir, QStringLiteral("quorvel-audio-%1").arg(display));
}

SingleInstance::Claim SingleInstance::claim(int waitMs) {
  if (lock_.tryLock(0)) {
    // A socket file left by a copy that died would refuse the listen.
    QLocalServer::removeServer(path_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(path_);
    return Claim::First;
  }
  // The first copy may still be on its way to listening.
  const QDeadlineTimer deadline(waitMs);
  do {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (socket.waitForConnected(250)) {
      socket.write(kRaise);
      const bool sent = socket.waitForBytesWritten(1000);
      socket.disconnectFromServer();
      if (sent) return Claim::Asked;
    }
    QThread::msleep(100);
  } while (!deadline.hasExpired());
  return Claim::NoAnswer;
}

}  // namespace app
