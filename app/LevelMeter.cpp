// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/LevelMeter.h"

#include <QAbstractEventDispatcher>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace app {

namespace {
constexpr double kFloorDb = -60;
constexpr double kFallDbPerSecond = 20;  // how fast the bars fall back
constexpr int kClipMs = 2000;
constexpr int kMaxMs = 2000;
constexpr int kLiveMs = 500;
constexpr int kFollowMs = 33;  // pictures while falling back
constexpr int kQuietMs = 100;  // without a block for this long, it falls back

QString Db(double db) {
  if (db <= kSilenceDb) return QStringLiteral("\u2212\u221e");
  QString s = QString::number(db, 'f', 1);
  if (s.startsWith('-')) s.replace(0, 1, QChar(0x2212));
  return s;
}
}  // namespace

LevelMeter::LevelMeter(const InputLevels& levels, bool withNumbers, QWidget* parent)
    : QWidget(parent), levels_(levels), withNumbers_(withNumbers) {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { Follow(); });
  // A timer of its own at 30 a second woke the GUI thread for the meter
  // alone, between blocks that wake it anyway.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      if (levels_.Latest().block != lastBlock_) Follow();
    });
  sinceFollow_.start();
  Follow();
}

bool LevelMeter::clipLit() const { return sinceClip_.isValid() && sinceClip_.elapsed() < kClipMs; }

bool LevelMeter::live() const { return sinceBlock_.isValid() && sinceBlock_.elapsed() < kLiveMs; }

void LevelMeter::Follow() {
  const double fall = kFallDbPerSecond * sinceFollow_.restart() / 1000.0;
  peakDb_ = std::max(kSilenceDb, peakDb_ - fall);
  rmsDb_ = std::max(kSilenceDb, rmsDb_ - fall);
  const InputLevel now = levels_.Latest();
  if (now.block != lastBlock_) {
    lastBlock_ = now.block;
    sinceBlock_.start();
    peakDb_ = std::max(peakDb_, now.peakDb);
    rmsDb_ = std::max(rmsDb_, now.rmsDb);
    if (now.clipped) sinceClip_.start();
    if (now.peakDb >= maxDb_ || !sinceMax_.isValid() || sinceMax_.elapsed() > kMaxMs) {
      maxDb_ = now.peakDb;
      sinceMax_.start();
    }
  }
  // Repainted only when what it shows moves by a pixel or changes.
  if (!shown_ || look() != *shown_) update();
  // While blocks come, the bars move with each; the timer falls them back
  // once none came for a while, until the meter shows no input and no clip
  // (the next block starts it again).
  if (sinceBlock_.isValid() && sinceBlock_.elapsed() < kQuietMs)
    timer_.start(kQuietMs);
  else if (live() || clipLit())
    timer_.start(kFollowMs);
  else
    timer_.stop();
}

QString LevelMeter::readingText() const {
  if (!live()) return QStringLiteral("no input");
  return QStringLiteral("peak %1 dBFS   RMS %2 dBFS").arg(Db(peakDb_), Db(rmsDb_));
}

void LevelMeter::mouseReleaseEvent(QMouseEvent*) {
  if (OnClick) OnClick();
}

QSize LevelMeter::sizeHint() const { return withNumbers_ ? QSize(360, 56) : QSize(84, 20); }

LevelMeter::Scale LevelMeter::scale() const {
  const QFontMetrics fm(font());
  const int clipWidth = withNumbers_ ? fm.horizontalAdvance(QStringLiteral("CLIP")) + 10 : 8;
  const int barsHeight = withNumbers_ ? 18 : height() - 4;
  const QRect bars(1, withNumbers_ ? fm.height() + 4 : 2, width() - clipWidth - 5, barsHeight);
  return {bars, QRect(bars.right() + 4, bars.top(), clipWidth, bars.height())};
}

int LevelMeter::Scale::x(double db) const {
  return bars.left() + int(std::lround(std::clamp((db - kFloorDb) / -kFloorDb, 0.0, 1.0) * bars.width()));
}

LevelMeter::Look LevelMeter::look() const {
  const Scale s = scale();
  return {
      live(), clipLit(), s.x(peakDb_), s.x(rmsDb_), s.x(maxDb_), rmsDb_ > -6, withNumbers_ ? readingText() : QString()};
}

void LevelMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QFontMetrics fm(font());
  const Scale scale = this->scale();
  const QRect& bars = scale.bars;
  const QRect& clip = scale.clip;
  auto x = [&](double db) { return scale.x(db); };
  shown_ = look();
  p.fillRect(bars, QColor(30, 34, 40));
  const bool on = live();
  if (on) {
    // RMS: the lower, thicker bar; peak: a thin bar over its upper part.
    const QRect rms(bars.left(), bars.top() + bars.height() / 3, x(rmsDb_) - bars.left(), bars.height() * 2 / 3);
    p.fillRect(rms, rmsDb_ > -6 ? QColor(230, 170, 60) : QColor(80, 190, 120));
    p.fillRect(QRect(bars.left(), bars.top(), x(peakDb_) - bars.left(), bars.height() / 3), QColor(150, 220, 170));
    p.fillRect(QRect(x(maxDb_) - 1, bars.top(), 2, bars.height()), QColor(235, 235, 235));
  }
  // Ticks every 10 dB.
  p.setPen(QColor(90, 96, 104));
  for (double db = kFloorDb + 10; db < 0; db += 10) p.drawLine(x(db), bars.bottom() - 2, x(db), bars.bottom());
  p.fillRect(clip, clipLit() ? QColor(220, 50, 50) : QColor(60, 64, 70));
  if (withNumbers_) {
    p.setPen(clipLit() ? Qt::white : QColor(150, 150, 150));
    p.drawText(clip, Qt::AlignCenter, QStringLiteral("CLIP"));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(0, 0, width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter, readingText());
    p.setPen(palette().color(QPalette::PlaceholderText));
    const int scaleTop = bars.bottom() + 2;
    for (double db : {-60.0, -40.0, -20.0, -10.0, 0.0}) {
      const QString label = Db(db);
      const int w = fm.horizontalAdvance(label);
      const int left = std::clamp(x(db) - w / 2, 0, bars.right() - w);
      p.drawText(QRect(left, scaleTop, w, fm.height()), Qt::AlignCenter, label);
    }
  }
}

}  // namespace app
