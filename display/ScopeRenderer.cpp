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

// A smooth 1-pixel line over a faint aliased copy one pixel lower: it reads
// as a line of about 1.5 pixels at a small part of the cost of a wide pen,
// which Qt strokes as a path of its own (some 30 ms for a 2048-point trace).
void strokeLine(QPainter& p, const QPolygonF& line, const QColor& colour) {
  QColor halo = colour;
  halo.setAlpha(70);
  QPen pen(halo, 1);
  pen.setCosmetic(true);
  p.setPen(pen);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.translate(0, 1);
  p.drawPolyline(line);
  p.translate(0, -1);
  p.setRenderHint(QPainter::Antialiasing, true);
  pen.setColor(colour);
  p.setPen(pen);
  p.drawPolyline(line);
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
  strokeLine(p, line_, palette::trace);
}

void ScopeRenderer::paintSpectrum(QPainter& p, const QRectF& plot, const ScopeView& view,
                                  const FrequencyAxis& axis) {
  if (view.frames == 0)
    return;
  if (!view.peaks.empty()) {
    spectrumLine(view.peaks, config_.binHz(), axis, plot, line_);
    QPen pen(palette::peakHold, 1);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawPolyline(line_);
  }
  spectrumLine(view.levels, config_.binHz(), axis, plot, line_);
  if (line_.isEmpty())
    return;
  // A soft fill under the line reads as "energy" at a glance. It is blitted
  // column by column from a gradient strip: Qt fills a polygon of a thousand
  // spiky vertices some twenty times slower.
  const int stripHeight = int(std::ceil(plot.height()));
  if (fillStrip_.height() != stripHeight) {
    fillStrip_ = QImage(1, stripHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter sp(&fillStrip_);
    QLinearGradient fill(0, 0, 0, stripHeight);
    QColor top = palette::spectrum, bottom = palette::spectrum;
    top.setAlpha(110);
    bottom.setAlpha(12);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    sp.setCompositionMode(QPainter::CompositionMode_Source);
    sp.fillRect(fillStrip_.rect(), fill);
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  const int firstX = std::max(int(std::ceil(line_.front().x())), int(plot.left()));
  const int lastX = std::min(int(std::floor(line_.back().x())), int(plot.right()));
  int v = 0;
  for (int x = firstX; x <= lastX; ++x) {
    while (v + 2 < line_.size() && line_[v + 1].x() < x)
      ++v;
    const QPointF a = line_[v], b = line_[std::min<int>(v + 1, int(line_.size()) - 1)];
    const double y = b.x() > a.x() ? a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()) : a.y();
    const int top = std::max(0, int(std::lround(y - plot.top())));
    if (top < stripHeight)
      p.drawImage(QRect(x, int(plot.top()) + top, 1, stripHeight - top), fillStrip_, QRect(0, top, 1, stripHeight - top));
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  strokeLine(p, line_, palette::spectrum);

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
  p.setFont(uiFont());
  const bool spectrum = view.mode == ScopeMode::Spectrum;
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
  if (!options.notice.isEmpty()) {
    // Covers the key hints that the grid carries.
    const QRectF plot = plotRect(size);
    p.fillRect(QRectF(plot.left(), baseline - 12, right - plot.left(), 16), palette::window);
    p.setPen(palette::text);
    p.drawText(QPointF(plot.left(), baseline), options.notice);
  }
}

}  // namespace quorvel::display
