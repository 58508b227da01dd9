// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ui/PlotView.h"

#include "display/ui/Painting.h"
#include "display/ui/Palette.h"
#include "display/ui/PlotAxes.h"
#include "display/VectorState.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>

namespace quorvel::display {

PlotView::PlotView(const ScopeConfig& config, QWidget* parent) : QWidget(parent), config_(config) {
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  setMouseTracking(true);
  lines_.noteCoverIn(&background_);
  noticeTimer_.setSingleShot(true);
  noticeTimer_.setInterval(4000);
  QObject::connect(&noticeTimer_, &QTimer::timeout, this, [this] {
    notice_.clear();
    update();
  });
}

void PlotView::paintPicture(QPainter& p, QSize size, bool overlays) { paint(p, size, overlays, false); }

void PlotView::paintOver(QPainter& p, QSize size) { paint(p, size, true, true); }

void PlotView::paint(QPainter& p, QSize size, bool overlays, bool samePixels) {
  clearUpperVectorState();
  samePixels_ = samePixels;
  // Seldom (something came over a text the last picture left), the picture
  // is painted again, whole.
  for (int tries = 0; tries < 2; ++tries) {
    boxes_.clear();
    paintContent(p, size, overlays);
    paintStatus(p, size, overlays);
    if (background_.done()) break;
  }
}

void PlotView::putBackground(QPainter& p, const StillImage& still, const std::vector<TextBox>& stillBoxes) {
  background_.put(p, still, samePixels_);
  boxes_.insert(boxes_.end(), stillBoxes.begin(), stillBoxes.end());
}

void PlotView::noteText(const QPainter& p, const QString& what, const QRectF& rect) {
  boxes_.push_back({what, rect});
  background_.cover(p, rect);
}

ReadoutLine PlotView::readoutLine(QPainter& p, double left, double right, double baseline) {
  return {p, left, right, baseline, boxes_, texts_, background_};
}

QImage PlotView::render(QSize size, bool overlays) {
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  paintPicture(p, size, overlays);
  return img;
}

void PlotView::setFrozen(bool frozen) {
  if (frozen == frozen_) return;
  frozen_ = frozen;
  frozenChanged();
  update();
}

void PlotView::showNotice(const QString& text) {
  notice_ = text;
  noticeTimer_.start();
  update();
}

bool PlotView::watchInput(bool came) {
  const Input was = input_;
  if (came) {
    sinceInput_.start();
    input_ = Input::Coming;
  } else if (input_ == Input::Coming && sinceInput_.elapsed() > kStallMs) {
    input_ = Input::Stalled;
    // The clock time is read here, once, not with every frame that comes:
    // reading it takes the time zone's rules each time.
    lastInput_ = QTime::currentTime().addMSecs(-int(sinceInput_.elapsed()));
  }
  return input_ != was;
}

void PlotView::quickUpdated() {
  if (input_ != Input::None) input_ = Input::Stopped;
}

QString PlotView::inputText(const QString& what) const {
  switch (input_) {
    case Input::Stalled:
      return QStringLiteral("no %1 since %2").arg(what, lastInput_.toString(QStringLiteral("hh:mm:ss")));
    case Input::Stopped:
      return QStringLiteral("stopped");
    case Input::None:
    case Input::Coming:
      break;
  }
  return {};
}

void PlotView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paintOver(p, size());
  ++pictures_;
}

void PlotView::showEvent(QShowEvent* e) {
  // What the window system kept of a hidden view is not known.
  background_.forget();
  QWidget::showEvent(e);
}

void PlotView::mouseMoveEvent(QMouseEvent* e) {
  cursor_ = e->position();
  update();
}

void PlotView::leaveEvent(QEvent*) {
  cursor_.reset();
  update();
}

void PlotView::paintCrosshair(QPainter& p, const QRectF& plot) {
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(palette::cursor, 1, Qt::DashLine));
  p.drawLine(QPointF(cursor_->x(), plot.top()), QPointF(cursor_->x(), plot.bottom()));
  p.drawLine(QPointF(plot.left(), cursor_->y()), QPointF(plot.right(), cursor_->y()));
  cover(p, QRectF(cursor_->x(), plot.top(), 0, plot.height()));
  cover(p, QRectF(plot.left(), cursor_->y(), plot.width(), 0));
}

void PlotView::paintTopLine(QPainter& p, QSize size, const QString& about, const std::vector<Readout>& right) {
  const QRectF plot = plotRect(size);
  ReadoutLine line = readoutLine(p, plot.left(), size.width() - 18, plot.top() - 10);
  for (const Readout& r : right) line.fromRight(r.text, r.colour, uiFont(), r.what);
  if (line.fromLeft(config_.title, palette::text, uiFont(true), QStringLiteral("title")))
    line.fromLeft(about, palette::dimText, uiFont(), QStringLiteral("about"));
}

void PlotView::paintStatus(QPainter& p, QSize size, bool overlays) {
  const QRectF plot = plotRect(size);
  ReadoutLine line = readoutLine(p, plot.left(), size.width() - 18, size.height() - 9);
  if (health_) {
    // The losses first: where the line is short, they are what stays.
    line.fromRight(health_->lost, health_->anyLost ? palette::warning : palette::dimText, uiFont(),
                   QStringLiteral("lost"));
    line.fromRight(health_->timing, palette::dimText, uiFont(), QStringLiteral("health"));
  } else if (dropped_ > 0) {
    line.fromRight(QStringLiteral("dropped %1 points").arg(QLocale::c().toString(qulonglong(dropped_))),
                   palette::warning, uiFont(), QStringLiteral("dropped"));
  }
  if (overlays && frozen_)
    line.badgeRight(QStringLiteral("FROZEN"), palette::text, palette::badge, uiFont(true), 12, 16,
                    QStringLiteral("frozen"));
  // A notice takes the place of the key hints for a while.
  if (overlays && !notice_.isEmpty())
    line.fromLeft(notice_, palette::text, uiFont(), QStringLiteral("notice"));
  else
    line.fromLeft(hints(), palette::dimText, uiFont(), QStringLiteral("hints"));
}

}  // namespace quorvel::display
