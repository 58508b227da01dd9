#include "display/ScopeRenderer.h"

#include "display/Palette.h"
#include "display/PlotLines.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QLocale>

#include <cmath>

namespace quorvel::display {

namespace {

QFont uiFont(bool bold = false) {
  QFont f;
  f.setPixelSize(11);
  f.setBold(bold);
  return f;
}

// Draws text pieces from right to left, ending at x, and returns where the
// next piece to their left has to end.
double drawRightToLeft(QPainter& p, double x, double y, const QString& s, const QColor& c) {
  const double w = QFontMetricsF(p.font()).horizontalAdvance(s);
  p.setPen(c);
  p.drawText(QPointF(x - w, y), s);
  return x - w - 18;
}

}  // namespace

QImage ScopeRenderer::render(QSize size, const ScopeView& view, const RenderOptions& options) {
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  paint(p, size, view, options);
  return img;
}

void ScopeRenderer::paint(QPainter& p, QSize size, const ScopeView& view, const RenderOptions& options) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  p.drawImage(QPointF(0, 0), grid_.image(size, dpr, view.mode, options.logFrequency, config_));
  const QRectF plot = plotRect(size);
  const FrequencyAxis axis{config_.nyquistHz(), options.logFrequency};

  p.save();
  p.setClipRect(plot);
  p.setRenderHint(QPainter::Antialiasing, true);
  if (view.mode == ScopeMode::Trace)
    paintTrace(p, plot, view);
  else
    paintSpectrum(p, plot, view, axis);
  if (options.cursor && plot.contains(*options.cursor)) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(palette::cursor, 1, Qt::DashLine));
    p.drawLine(QPointF(options.cursor->x(), plot.top()), QPointF(options.cursor->x(), plot.bottom()));
    p.drawLine(QPointF(plot.left(), options.cursor->y()), QPointF(plot.right(), options.cursor->y()));
  }
  p.restore();

  paintReadout(p, size, plot, view, options, axis);
  paintStatus(p, size, view, options);
}

void ScopeRenderer::paintTrace(QPainter& p, const QRectF& plot, const ScopeView& view) {
  traceLine(view.trace, plot, line_);
  p.setPen(QPen(palette::trace, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(line_);
}

void ScopeRenderer::paintSpectrum(QPainter& p, const QRectF& plot, const ScopeView& view,
                                  const FrequencyAxis& axis) {
  if (view.frames == 0)
    return;
  if (!view.peaks.empty()) {
    spectrumLine(view.peaks, config_.binHz(), axis, plot, line_);
    p.setPen(QPen(palette::peakHold, 1.0));
    p.drawPolyline(line_);
  }
  spectrumLine(view.levels, config_.binHz(), axis, plot, line_);
  if (line_.isEmpty())
    return;
  // A soft fill under the line reads as "energy" at a glance.
  QLinearGradient fill(plot.topLeft(), plot.bottomLeft());
  QColor top = palette::spectrum, bottom = palette::spectrum;
  top.setAlpha(110);
  bottom.setAlpha(12);
  fill.setColorAt(0, top);
  fill.setColorAt(1, bottom);
  QPolygonF area = line_;
  area.append(QPointF(line_.back().x(), plot.bottom() + 2));
  area.append(QPointF(line_.front().x(), plot.bottom() + 2));
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.drawPolygon(area);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(palette::spectrum, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(line_);

  if (view.strongest >= 0 && size_t(view.strongest) < view.levels.size()) {
    const double hz = view.strongest * config_.binHz();
    const QPointF at(axis.toX(hz, plot), std::max(plot.top() + 7, levelToY(view.levels[size_t(view.strongest)], plot)));
    const QPointF tip(at.x(), at.y() - 3);
    const QPointF marker[3] = {tip, tip + QPointF(-4, -7), tip + QPointF(4, -7)};
    p.setPen(Qt::NoPen);
    p.setBrush(palette::strongest);
    p.drawPolygon(marker, 3);
    p.setBrush(Qt::NoBrush);
  }
}

void ScopeRenderer::paintReadout(QPainter& p, QSize size, const QRectF& plot, const ScopeView& view,
                                 const RenderOptions& options, const FrequencyAxis& axis) {
  const double baseline = plot.top() - 10;
  p.setFont(uiFont(true));
  p.setPen(palette::text);
  p.drawText(QPointF(plot.left(), baseline), config_.title);
  double x = plot.left() + QFontMetricsF(p.font()).horizontalAdvance(config_.title) + 14;
  p.setFont(uiFont());
  p.setPen(palette::dimText);
  const bool spectrum = view.mode == ScopeMode::Spectrum;
  const QString about = spectrum
      ? QStringLiteral("%1 bins of %2 Hz \u00b7 %3").arg(config_.bins()).arg(config_.binHz(), 0, 'f', 2)
            .arg(options.logFrequency ? QStringLiteral("log axis") : QStringLiteral("linear axis"))
      : QStringLiteral("%1 points \u00b7 %2 Hz").arg(config_.points).arg(config_.rate);
  p.drawText(QPointF(x, baseline), about);

  double right = size.width() - 18;
  if (options.cursor && plot.contains(*options.cursor)) {
    const QPointF c = *options.cursor;
    QString s;
    if (spectrum) {
      s = QStringLiteral("cursor  %1  %2").arg(frequencyText(axis.fromX(c.x(), plot)), levelText(yToLevel(c.y(), plot)));
    } else {
      s = QStringLiteral("cursor  %1 ms  %2").arg(xToTime(c.x(), config_.spanMs(), plot), 0, 'f', 2)
              .arg(yToAmplitude(c.y(), plot), 0, 'f', 3);
      s.replace('-', QChar(0x2212));
    }
    right = drawRightToLeft(p, right, baseline, s, palette::text);
  }
  if (spectrum && view.strongest >= 0 && size_t(view.strongest) < view.levels.size()) {
    const QString s = QStringLiteral("peak  %1  %2")
                          .arg(frequencyText(view.strongest * config_.binHz()), levelText(view.levels[size_t(view.strongest)]));
    drawRightToLeft(p, right, baseline, s, palette::strongest);
  }
}

void ScopeRenderer::paintStatus(QPainter& p, QSize size, const ScopeView& view, const RenderOptions& options) {
  const double baseline = size.height() - 9;
  p.setFont(uiFont());
  double right = size.width() - 18;
  if (view.dropped > 0)
    right = drawRightToLeft(p, right, baseline,
                            QStringLiteral("dropped %1 points").arg(QLocale::c().toString(qulonglong(view.dropped))),
                            palette::warning);
  if (options.frozen) {
    p.setFont(uiFont(true));
    const QString s = QStringLiteral("FROZEN");
    const double w = QFontMetricsF(p.font()).horizontalAdvance(s);
    const QRectF box(right - w - 12, baseline - 12, w + 12, 16);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(palette::badge);
    p.drawRoundedRect(box, 3, 3);
    p.setBrush(Qt::NoBrush);
    p.setPen(palette::text);
    p.drawText(box, Qt::AlignCenter, s);
    p.setFont(uiFont());
  }
  const QString hints = view.mode == ScopeMode::Spectrum
      ? QStringLiteral("Space freeze \u00b7 L linear/log \u00b7 R reset peak hold \u00b7 Ctrl+S save PNG")
      : QStringLiteral("Space freeze \u00b7 Ctrl+S save PNG");
  p.setPen(options.notice.isEmpty() ? palette::dimText : palette::text);
  p.drawText(QPointF(plotRect(size).left(), baseline), options.notice.isEmpty() ? hints : options.notice);
}

}  // namespace quorvel::display
