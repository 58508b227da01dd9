// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/ScopeSettingsStore.h"

#include "display/ui/ScopeWindow.h"
#include "display/ui/SpectrumView.h"
#include "display/ui/TraceView.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace quorvel::display {

namespace {

// Enumerations are written as words, in the order of their values.
constexpr std::array<const char*, 4> kModeWords{"auto", "normal", "single", "off"};
static_assert(int(TriggerMode::Off) == 3);
constexpr std::array<const char*, 2> kSlopeWords{"rising", "falling"};
static_assert(int(Slope::Falling) == 1);
constexpr std::array<const char*, 3> kLayoutWords{"spectrum", "both", "spectrogram"};
static_assert(int(SpectrumLayout::Spectrogram) == 2);

// Far beyond any screen, near enough to zero to convert to int.
constexpr int kFarPx = 1000000;

// QSettings takes '/' and '\' in a key as group separators: a title keeps
// its own group by writing them, and the escape itself, as %XX.
QString groupOf(const QString& title) {
  QString group;
  for (QChar c : title)
    group += c == u'%' || c == u'/' || c == u'\\'
                 ? QStringLiteral("%%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'))
                 : QString(c);
  return group;
}

// A finite number, or nothing.
std::optional<double> number(const QSettings& s, const QString& key) {
  bool ok = false;
  const double v = s.value(key).toDouble(&ok);
  return ok && std::isfinite(v) ? std::optional(v) : std::nullopt;
}

std::optional<double> clamped(const QSettings& s, const QString& key, double lo, double hi) {
  const std::optional<double> v = number(s, key);
  return v ? std::optional(std::clamp(*v, lo, hi)) : std::nullopt;
}

std::optional<int> integer(const QSettings& s, const QString& key, int lo, int hi) {
  const std::optional<double> v = clamped(s, key, lo, hi);
  return v ? std::optional(int(std::lround(*v))) : std::nullopt;
}

// One of the listed values, or nothing.
template <class T, size_t N>
std::optional<T> choice(const QSettings& s, const QString& key, const std::array<T, N>& choices) {
  const std::optional<double> v = number(s, key);
  if (v)
    for (T c : choices)
      if (double(c) == *v) return c;
  return std::nullopt;
}

// The position of the word in the list, or nothing.
template <size_t N>
std::optional<int> word(const QSettings& s, const QString& key, const std::array<const char*, N>& words) {
  const QVariant v = s.value(key);
  if (v.typeId() != QMetaType::QString) return std::nullopt;
  const QByteArray w = v.toString().toUtf8();
  for (size_t i = 0; i < N; ++i)
    if (w == words[i]) return int(i);
  return std::nullopt;
}

// What the file says ("true", "false"), or a bool still held from this run.
std::optional<bool> flag(const QSettings& s, const QString& key) {
  const QVariant v = s.value(key);
  if (v.typeId() == QMetaType::Bool) return v.toBool();
  if (v.typeId() == QMetaType::QString && (v.toString() == u"true" || v.toString() == u"false"))
    return v.toString() == u"true";
  return std::nullopt;
}

template <class T>
void take(T& into, const std::optional<T>& v) {
  if (v) into = *v;
}

TraceSettings traceSettings(const QSettings& s, TraceSettings t) {
  take(t.spanMs, clamped(s, QStringLiteral("trace/spanMs"), kMinSpanMs, kMaxSpanMs));
  take(t.zoom, integer(s, QStringLiteral("trace/zoom"), 1, kMaxZoom));
  if (const auto m = word(s, QStringLiteral("trace/mode"), kModeWords)) t.mode = TriggerMode(*m);
  if (const auto e = word(s, QStringLiteral("trace/slope"), kSlopeWords)) t.slope = Slope(*e);
  take(t.level, clamped(s, QStringLiteral("trace/level"), -1, 1));
  take(t.position, clamped(s, QStringLiteral("trace/position"), 0, 1));
  take(t.holdOffMs, clamped(s, QStringLiteral("trace/holdOffMs"), 0, kMaxHoldOffMs));
  return t;
}

SpectrumSettings spectrumSettings(const QSettings& s, SpectrumSettings f) {
  take(f.logFrequency, flag(s, QStringLiteral("spectrum/logFrequency")));
  // The span first: the top's range depends on it.
  take(f.level.spanDb, clamped(s, QStringLiteral("spectrum/spanDb"), LevelRange::kNarrowestDb, LevelRange::kWidestDb));
  f.level.topDb = std::clamp(f.level.topDb, LevelRange::kLowestBottomDb + f.level.spanDb, LevelRange::kHighestTopDb);
  take(f.level.topDb, clamped(s, QStringLiteral("spectrum/topDb"), LevelRange::kLowestBottomDb + f.level.spanDb,
                              LevelRange::kHighestTopDb));
  take(f.peakHold, flag(s, QStringLiteral("spectrum/peakHold")));
  take(f.holdFallDbPerSecond, choice(s, QStringLiteral("spectrum/holdFallDbPerSecond"), kHoldFalls));
  take(f.averageFrames, choice(s, QStringLiteral("spectrum/averageFrames"), kAverages));
  if (const auto l = word(s, QStringLiteral("spectrum/layout"), kLayoutWords)) f.layout = SpectrumLayout(*l);
  take(f.harmonics, flag(s, QStringLiteral("spectrum/harmonics")));
  return f;
}

// The remembered place, moved within the screen it mostly lay on; nothing
// when it lies on no screen now present (a monitor was removed, the
// resolution dropped), so that a window never opens out of reach.
std::optional<QRect> windowRect(const QSettings& s, QSize minimum) {
  const auto x = integer(s, QStringLiteral("window/x"), -kFarPx, kFarPx);
  const auto y = integer(s, QStringLiteral("window/y"), -kFarPx, kFarPx);
  const auto w = integer(s, QStringLiteral("window/width"), 1, kFarPx);
  const auto h = integer(s, QStringLiteral("window/height"), 1, kFarPx);
  if (!x || !y || !w || !h) return std::nullopt;
  QRect r(*x, *y, *w, *h);
  const QScreen* on = nullptr;
  qint64 most = 0;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect common = r.intersected(screen->availableGeometry());
    if (qint64(common.width()) * common.height() > most) {
      most = qint64(common.width()) * common.height();
      on = screen;
    }
  }
  if (!on) return std::nullopt;
  const QRect avail = on->availableGeometry();
  r.setSize(r.size().boundedTo(avail.size()).expandedTo(minimum));
  r.moveTo(std::clamp(r.left(), avail.left(), std::max(avail.left(), avail.right() + 1 - r.width())),
           std::clamp(r.top(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - r.height())));
  return r;
}

// QSettings reads the file on the GUI thread: a FIFO or a device in its
// place would hold the program up, or feed it without end. Only a regular
// file, or none yet, is read or written.
bool readable(const QString& path) {
  const QFileInfo file(path);
  return !file.exists() || file.isFile();
}

}  // namespace

QString ScopeSettingsStore::filePath() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return dir.isEmpty() ? QString() : dir + QStringLiteral("/quorvel-audio/scopes.conf");
}

void ScopeSettingsStore::restore(ScopeWindow& window) {
  const QString path = filePath();
  if (path.isEmpty() || !readable(path)) return;
  QSettings s(path, QSettings::IniFormat);
  if (s.status() != QSettings::NoError) return;
  s.beginGroup(groupOf(window.windowTitle()));
  if (const auto r = windowRect(s, window.minimumSize())) window.setGeometry(*r);
  if (flag(s, QStringLiteral("window/maximized")).value_or(false))
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
  if (const auto health = flag(s, QStringLiteral("window/health"))) window.setHealthShown(*health);
  window.traceView().setSettings(traceSettings(s, window.traceView().settings()));
  window.spectrumView().setSettings(spectrumSettings(s, window.spectrumView().settings()));
}

void ScopeSettingsStore::save(const ScopeWindow& window) {
  const QString path = filePath();
  if (path.isEmpty() || !readable(path)) return;
  QSettings s(path, QSettings::IniFormat);
  // A file that does not parse is not merged into: it starts afresh.
  if (s.status() == QSettings::FormatError) s.clear();
  s.beginGroup(groupOf(window.windowTitle()));
  s.remove(QString());  // what this title had, and anything else in its group

  const QRect r = window.isMaximized() ? window.normalGeometry() : window.geometry();
  if (!r.isEmpty()) {
    s.setValue(QStringLiteral("window/x"), r.x());
    s.setValue(QStringLiteral("window/y"), r.y());
    s.setValue(QStringLiteral("window/width"), r.width());
    s.setValue(QStringLiteral("window/height"), r.height());
  }
  s.setValue(QStringLiteral("window/maximized"), window.isMaximized());
  s.setValue(QStringLiteral("window/health"), window.healthShown());

  // A view left out of range is remembered within it: the level within
  // the screen at its zoom, the level axis no higher than its default top
  // (nothing lies above that but empty space).
  TraceSettings t = window.traceView().settings();
  t.level = std::clamp(t.level, -1.0 / t.zoom, 1.0 / t.zoom);
  s.setValue(QStringLiteral("trace/spanMs"), t.spanMs);
  s.setValue(QStringLiteral("trace/zoom"), t.zoom);
  s.setValue(QStringLiteral("trace/mode"), QString::fromLatin1(kModeWords[size_t(t.mode)]));
  s.setValue(QStringLiteral("trace/slope"), QString::fromLatin1(kSlopeWords[size_t(t.slope)]));
  s.setValue(QStringLiteral("trace/level"), t.level);
  s.setValue(QStringLiteral("trace/position"), t.position);
  s.setValue(QStringLiteral("trace/holdOffMs"), t.holdOffMs);

  SpectrumSettings f = window.spectrumView().settings();
  f.level.shift(std::min(0.0, LevelRange{}.topDb - f.level.topDb));
  s.setValue(QStringLiteral("spectrum/logFrequency"), f.logFrequency);
  s.setValue(QStringLiteral("spectrum/topDb"), f.level.topDb);
  s.setValue(QStringLiteral("spectrum/spanDb"), f.level.spanDb);
  s.setValue(QStringLiteral("spectrum/peakHold"), f.peakHold);
  s.setValue(QStringLiteral("spectrum/holdFallDbPerSecond"), f.holdFallDbPerSecond);
  s.setValue(QStringLiteral("spectrum/averageFrames"), f.averageFrames);
  s.setValue(QStringLiteral("spectrum/layout"), QString::fromLatin1(kLayoutWords[size_t(f.layout)]));
  s.setValue(QStringLiteral("spectrum/harmonics"), f.harmonics);
  s.endGroup();
  s.sync();
}

}  // namespace quorvel::display
