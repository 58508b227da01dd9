#include "display/ui/TraceView.h"

#include "display/ui/Painting.h"
#include "display/ui/Palette.h"
#include "display/ui/PlotLines.h"

#include <QPainter>

namespace quorvel::display {

TraceView::TraceView(const ScopeConfig& config, QWidget* parent)
    : PlotView(config, parent), history_(static_cast<size_t>(config.points)) {}

void TraceView::consume(const ScopePoint& p, bool) { history_.add(p.Value[0]); }

void TraceView::clear() {
  history_.clear();
  setFrozen(false);
  update();
}

void TraceView::frozenChanged() {
  if (frozen())
    history_.copyTo(shown_);
}

GridLayout TraceView::gridLayout(const QRectF& plot) const {
  const double span = config().spanMs();
  GridLayout g;
  g.x = placed(timeTicks(span), [&](double ms) { return timeToX(ms, span, plot); });
  g.y = placed(amplitudeTicks(), [&](double v) { return amplitudeToY(v, plot); });
  g.zeroY = amplitudeToY(0, plot);
  g.xUnit = QStringLiteral("ms");
  g.yTitle = QStringLiteral("amplitude, full scale");
  g.title = config().title;
  g.about = QStringLiteral("%1 points \u00b7 %2 Hz").arg(config().points).arg(config().rate);
  g.hints = QStringLiteral("Space freeze \u00b7 Ctrl+S save PNG");
  return g;
}

void TraceView::paintContent(QPainter& p, QSize size, bool overlays) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  const QRectF plot = plotRect(size);
  p.drawImage(QPointF(0, 0), grid_.image(size, dpr, gridLayout(plot)));
  if (!frozen())
    history_.copyTo(shown_);

  p.save();
  p.setClipRect(plot);
  p.setRenderHint(QPainter::Antialiasing, true);
  traceLine(shown_, plot, line_);
  strokeLine(p, line_, palette::trace);
  const bool cursorOnPlot = overlays && cursorOver(plot);
  if (cursorOnPlot)
    paintCrosshair(p, plot);
  p.restore();

  if (cursorOnPlot) {
    p.setFont(uiFont());
    const QPointF c = *cursor();
    const QString s = QStringLiteral("cursor  %1 ms  %2")
                          .arg(xToTime(c.x(), config().spanMs(), plot), 0, 'f', 2)
                          .arg(yToAmplitude(c.y(), plot), 0, 'f', 3);
    drawRightToLeft(p, size.width() - 18, plot.top() - 10, withMinusSign(s), palette::text);
  }
}

}  // namespace quorvel::display
