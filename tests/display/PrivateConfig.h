// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A configuration directory of the test's own while it lives, so that what
// the scopes remember never reaches the user's.
#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

namespace quorvel::display::test {

class PrivateConfig {
 public:
  PrivateConfig() {
    if (dir_.isValid()) qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
  }
  ~PrivateConfig() {
    if (wasSet_)
      qputenv("XDG_CONFIG_HOME", saved_);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }
  PrivateConfig(const PrivateConfig&) = delete;
  PrivateConfig& operator=(const PrivateConfig&) = delete;

  bool isValid() const { return dir_.isValid(); }
  QString path() const { return dir_.path(); }

 private:
  const bool wasSet_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  const QByteArray saved_ = qgetenv("XDG_CONFIG_HOME");
  QTemporaryDir dir_;
};

}  // namespace quorvel::display::test
