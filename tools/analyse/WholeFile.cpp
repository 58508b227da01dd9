// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/WholeFile.h"

#include <QDir>
#include <QSaveFile>

namespace analyse {

bool WriteWhole(const std::string& dir, const std::string& name, const QByteArray& bytes, std::string& error) {
  const QString folder = QString::fromStdString(dir);
  const QString path = QDir(folder).filePath(QString::fromStdString(name));
  if (!QDir().mkpath(folder)) {
    error = "cannot make the directory " + dir;
    return false;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    error = "cannot write " + path.toStdString() + ": " + file.errorString().toStdString();
    return false;
  }
  return true;
}

}  // namespace analyse
