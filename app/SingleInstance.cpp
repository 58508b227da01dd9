// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace app {

namespace {

constexpr char kRaise[] = "raise\n";
// A later copy sends one short line; a connection that sends more without
// ending a line is not one, and is closed.
constexpr qsizetype kLongestLine = 64;

std::optional<sockaddr_un> addressOf(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  sockaddr_un address{};
  if (size_t(name.size()) >= sizeof address.sun_path) return std::nullopt;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
  return address;
}

// A socket that neither blocks nor outlives an exec.
int streamSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

// Sends the request to a copy listening at `path`; false when none takes it.
bool askToRaise(const QString& path) {
  const std::optional<sockaddr_un> address = addressOf(path);
  if (!address) return false;
  const int fd = streamSocket();
  if (fd < 0) return false;
  // A local connection is made at once or refused (nothing listens, or its
  // queue is full); a line this short fits the socket's buffer at once.
  const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0 &&
                    ::send(fd, kRaise, sizeof kRaise - 1, MSG_NOSIGNAL) == ssize_t(sizeof kRaise - 1);
  ::close(fd);
  return sent;
}

}  // namespace

SingleInstance::SingleInstance(const QString& dir, const QString& name)
    : path_(QDir(dir).filePath(name)), lock_(path_ + QStringLiteral(".lock")) {
  // A lock is stale only when the process that wrote it is gone, however old.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  if (!listener_) return;
  const int fd = int(listener_->socket());
  listener_.reset();  // and the connections with it
  ::close(fd);
  QFile::remove(path_);
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
    listen();
    return Claim::First;
  }
  // The first copy may still be on its way to listening.
  const QDeadlineTimer deadline(waitMs);
  do {
    if (askToRaise(path_)) return Claim::Asked;
    QThread::msleep(100);
  } while (!deadline.hasExpired());
  return Claim::NoAnswer;
}

void SingleInstance::listen() {
  const std::optional<sockaddr_un> address = addressOf(path_);
  if (!address) return;
  const int fd = streamSocket();
  if (fd < 0) return;
  // A socket file left by a copy that died would refuse the bind. The mode
  // set before binding is the file's from its first moment: this user's alone.
  ::unlink(address->sun_path);
  if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 || ::listen(fd, 8) != 0) {
    ::close(fd);
    return;
  }
  listener_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(listener_.get(), &QSocketNotifier::activated, listener_.get(), [this] { accept(); });
}

void SingleInstance::accept() {
  for (;;) {
    const int fd = ::accept4(int(listener_->socket()), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      // Out of descriptors or worse: stop watching rather than be woken for ever.
      if (errno != EAGAIN && errno != EWOULDBLOCK) listener_->setEnabled(false);
      return;
    }
    // A connection's socket is closed with its notifier, once that no longer watches it.
    auto* peer = new QSocketNotifier(fd, QSocketNotifier::Read, listener_.get());
    QObject::connect(peer, &QObject::destroyed, [fd] { ::close(fd); });
    QObject::connect(peer, &QSocketNotifier::activated, peer, [this, peer, fd, line = QByteArray()]() mutable {
      char buffer[256];
      bool open = true;
      for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
          line.append(buffer, n);
          if (line.size() <= kLongestLine) continue;
          break;  // the rest waits for the lines read to be taken
        }
        if (n < 0 && errno == EINTR) continue;
        open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        break;
      }
      for (qsizetype end; (end = line.indexOf('\n')) >= 0; line.remove(0, end + 1))
        if (line.left(end + 1) == kRaise && OnRaise) OnRaise();
      if (open && line.size() <= kLongestLine) return;
      peer->setEnabled(false);
      peer->deleteLater();
    });
  }
}

}  // namespace app
