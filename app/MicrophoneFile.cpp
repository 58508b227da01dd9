// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MicrophoneFile.h"

#include <QFile>
#include <string>
#include <string_view>

namespace app {

namespace {
// A correction file is a few hundred lines; anything this large is not one.
constexpr qint64 kLargestMicrophoneFile = 4 << 20;
}  // namespace

std::optional<dsp::MicrophoneCorrection> ReadMicrophoneFile(const QString& path, QString& why) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    why = file.errorString();
    return std::nullopt;
  }
  if (file.size() > kLargestMicrophoneFile) {
    why = QStringLiteral("too large for a correction file");
    return std::nullopt;
  }
  const QByteArray text = file.readAll();
  std::string error;
  auto c = dsp::parseMicrophoneCorrection(std::string_view(text.constData(), size_t(text.size())), error);
  if (!c) why = QString::fromStdString(error);
  return c;
}

}  // namespace app
