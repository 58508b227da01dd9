#include "display/ScopeWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel::display {

namespace {

// Scopes sit side by side above the program's strip, which starts at 602
// pixels (at 120 pixels per inch) from the top of the screen.
QRect placement(int place, const QScreen* screen) {
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
  const double scale = screen ? screen->logicalDotsPerInch() / 120.0 : 1.0;
  const int gap = 14;
  const int stripTop = avail.top() + int(std::lround(602 * scale));
  const int bottom = std::min(avail.bottom(), stripTop - 2 * gap);
  const int width = std::clamp((avail.width() - 3 * gap) / 2, 360, 900);
  const int height = std::clamp(bottom - avail.top() - 2 * gap, 220, 420);
  const int column = place % 2;
  const int cascade = (place / 2) * 28;
  return QRect(avail.left() + gap + column * (width + gap) + cascade, avail.top() + gap + cascade, width, height);
}

int refreshIntervalMs(const QScreen* screen) {
  const double hz = std::clamp(screen ? screen->refreshRate() : 60.0, 1.0, 60.0);
  return int(std::ceil(1000.0 / hz));
}

}  // namespace

ScopeWindow::ScopeWindow(const ScopeConfig& config, PointRing& ring, int place)
    : QWidget(nullptr, Qt::Window), ring_(ring), model_(config), renderer_(config) {
  setWindowTitle(config.title);
  // The scopes follow the program's lifetime; they must not keep it running.
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(320, 180);
  setGeometry(placement(place, QGuiApplication::primaryScreen()));

  refresh_.setInterval(refreshIntervalMs(QGuiApplication::primaryScreen()));
  QObject::connect(&refresh_, &QTimer::timeout, this, [this] {
    if (drain())
      update();
  });
  refresh_.start();
  noticeTimer_.setSingleShot(true);
  noticeTimer_.setInterval(4000);
  QObject::connect(&noticeTimer_, &QTimer::timeout, this, [this] {
    options_.notice.clear();
    update();
  });
}

bool ScopeWindow::drain() {
  const size_t taken = ring_.drain([this](const QueuedPoint& q) { model_.consume(q); });
  const uint64_t dropped = this->dropped();
  const bool droppedChanged = dropped != droppedShown_;
  droppedShown_ = dropped;
  return (taken > 0 && !frozen_) || droppedChanged;
}

void ScopeWindow::updateNow() {
  drain();
  if (isVisible())
    repaint();
}

void ScopeWindow::cleanBuffers() {
  ring_.discardPending();
  model_.clear();
  droppedAtClean_ = ring_.dropped();
  droppedShown_ = 0;
  frozen_ = false;
  update();
}

void ScopeWindow::setFrozen(bool frozen) {
  if (frozen == frozen_)
    return;
  if (frozen)
    frozenView_ = currentView();
  frozen_ = frozen;
  update();
}

void ScopeWindow::setLogFrequency(bool log) {
  options_.logFrequency = log;
  update();
}

void ScopeWindow::resetPeaks() {
  model_.resetPeaks();
  if (frozen_)
    std::fill(frozenView_.peaks.begin(), frozenView_.peaks.end(), -std::numeric_limits<double>::infinity());
  update();
}

const ScopeView& ScopeWindow::currentView() {
  if (frozen_) {
    frozenView_.dropped = dropped();
    return frozenView_;
  }
  model_.snapshot(live_);
  live_.dropped = dropped();
  return live_;
}

void ScopeWindow::paintTo(QPainter& p, QSize size) {
  RenderOptions o = options_;
  o.frozen = frozen_;
  renderer_.paint(p, size, currentView(), o);
}

QImage ScopeWindow::render(QSize size) {
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  paintTo(p, size);
  return img;
}

bool ScopeWindow::saveImage(const QString& path) {
  RenderOptions o = options_;
  o.frozen = frozen_;
  o.cursor.reset();
  o.notice.clear();
  return renderer_.render(size(), currentView(), o).save(path, "PNG");
}

void ScopeWindow::saveInteractively() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  const QString suggested = QDir(dir.isEmpty() ? QDir::homePath() : dir)
      .filePath(QStringLiteral("%1-%2.png").arg(windowTitle(), QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss")));
  // Freeze while the dialog is open, so what is saved is what was on screen.
  const bool wasFrozen = frozen_;
  setFrozen(true);
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save scope as PNG"), suggested,
                                                    QStringLiteral("PNG images (*.png)"));
  if (!path.isEmpty())
    showNotice(saveImage(path) ? QStringLiteral("saved %1").arg(path) : QStringLiteral("could not save %1").arg(path));
  setFrozen(wasFrozen);
}

void ScopeWindow::showNotice(const QString& text) {
  options_.notice = text;
  noticeTimer_.start();
  update();
}

void ScopeWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paintTo(p, size());
}

void ScopeWindow::keyPressEvent(QKeyEvent* e) {
  if (e->matches(QKeySequence::Save)) {
    saveInteractively();
    return;
  }
  switch (e->key()) {
  case Qt::Key_Space:
    setFrozen(!frozen_);
    break;
  case Qt::Key_L:
    setLogFrequency(!options_.logFrequency);
    break;
  case Qt::Key_R:
    resetPeaks();
    break;
  default:
    QWidget::keyPressEvent(e);
  }
}

void ScopeWindow::mouseMoveEvent(QMouseEvent* e) {
  options_.cursor = e->position();
  update();
}

void ScopeWindow::leaveEvent(QEvent*) {
  options_.cursor.reset();
  update();
}

}  // namespace quorvel::display
