// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/LevelsStore.h"

#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "dsp/OctaveBands.h"
#include "dsp/SoundLevelMeter.h"

namespace app {

namespace {

// A device's name as a group of its own: QSettings takes '/' and '\' as
// separators, so the name is written percent-encoded.
QString GroupOf(const QString& device) {
  return QStringLiteral("device-") + QString::fromLatin1(QUrl::toPercentEncoding(device));
}

std::optional<double> Number(const QSettings& s, const QString& key) {
  bool ok = false;
  const double v = s.value(key).toDouble(&ok);
  return ok && std::isfinite(v) ? std::optional(v) : std::nullopt;
}

// Readable, or nothing: a file that does not parse is started afresh.
bool Usable(QSettings& s) {
  if (s.status() == QSettings::FormatError) s.clear();
  return s.status() == QSettings::NoError;
}

}  // namespace

QString LevelsStore::FilePath() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return dir.isEmpty() ? QString() : dir + QStringLiteral("/quorvel-audio/levels.conf");
}

DeviceCalibration LevelsStore::Load(const QString& device) {
  DeviceCalibration c;
  const QString path = FilePath();
  if (path.isEmpty()) return c;
  QSettings s(path, QSettings::IniFormat);
  if (s.status() != QSettings::NoError) return c;
  s.beginGroup(GroupOf(device));
  // An offset far outside what a sound card and a microphone give is not one.
  if (const auto offset = Number(s, QStringLiteral("offsetDb")); offset && std::fabs(*offset) < 300)
    c.offsetDb = offset;
  c.how = s.value(QStringLiteral("how")).toString();
  c.microphoneFile = s.value(QStringLiteral("microphoneFile")).toString();
  c.applyMicrophone = s.value(QStringLiteral("applyMicrophone")).toBool();
  return c;
}

void LevelsStore::Save(const QString& device, const DeviceCalibration& c) {
  const QString path = FilePath();
  if (path.isEmpty()) return;
  QSettings s(path, QSettings::IniFormat);
  if (!Usable(s)) return;
  s.beginGroup(GroupOf(device));
  s.remove(QString());
  s.setValue(QStringLiteral("name"), device);
  if (c.offsetDb) s.setValue(QStringLiteral("offsetDb"), *c.offsetDb);
  if (!c.how.isEmpty()) s.setValue(QStringLiteral("how"), c.how);
  if (!c.microphoneFile.isEmpty()) s.setValue(QStringLiteral("microphoneFile"), c.microphoneFile);
  s.setValue(QStringLiteral("applyMicrophone"), c.applyMicrophone);
}

LevelsView LevelsStore::LoadView() {
  LevelsView v;
  const QString path = FilePath();
  if (path.isEmpty()) return v;
  QSettings s(path, QSettings::IniFormat);
  if (s.status() != QSettings::NoError) return v;
  s.beginGroup(QStringLiteral("view"));
  if (const auto w = Number(s, QStringLiteral("weighting")); w && *w >= 0 && *w <= 2) v.weighting = int(*w);
  if (const auto t = Number(s, QStringLiteral("time")); t && *t >= 0 && *t <= 2) v.time = int(*t);
  if (const auto b = Number(s, QStringLiteral("bandsPerOctave")); b && dsp::isBandsPerOctave(int(*b)))
    v.bandsPerOctave = int(*b);
  if (const auto i = Number(s, QStringLiteral("intervalSeconds")))
    v.intervalSeconds = std::clamp(*i, dsp::SoundLevelMeter::kShortestInterval, dsp::SoundLevelMeter::kLongestInterval);
  if (const auto c = Number(s, QStringLiteral("calibratorDb")); c && *c >= 60 && *c <= 150) v.calibratorDb = *c;
  return v;
}

void LevelsStore::SaveView(const LevelsView& v) {
  const QString path = FilePath();
  if (path.isEmpty()) return;
  QSettings s(path, QSettings::IniFormat);
  if (!Usable(s)) return;
  s.beginGroup(QStringLiteral("view"));
  s.setValue(QStringLiteral("weighting"), v.weighting);
  s.setValue(QStringLiteral("time"), v.time);
  s.setValue(QStringLiteral("bandsPerOctave"), v.bandsPerOctave);
  s.setValue(QStringLiteral("intervalSeconds"), v.intervalSeconds);
  s.setValue(QStringLiteral("calibratorDb"), v.calibratorDb);
}

}  // namespace app
