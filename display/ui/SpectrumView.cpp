#include "display/ui/SpectrumView.h"

#include "display/ui/Painting.h"
#include "display/ui/Palette.h"
#include "display/ui/PlotLines.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel::display {

SpectrumView::SpectrumView(const ScopeConfig& config, QWidget* parent)
    : PlotView(config, parent), model_(config.bins()),
      logAction_(QStringLiteral("Log frequency")), resetPeaksAction_(QStringLiteral("Reset peak hold")) {
  logAction_.setCheckable(true);
  logAction_.setShortcut(Qt::Key_L);
  QObject::connect(&logAction_, &QAction::toggled, this, [this](bool on) { setLogFrequency(on); });
  resetPeaksAction_.setShortcut(Qt::Key_R);
  QObject::connect(&resetPeaksAction_, &QAction::triggered, this, [this] { resetPeaks(); });
  addAction(&logAction_);
  addAction(&resetPeaksAction_);
}

void SpectrumView::consume(const ScopePoint& p, bool afterGap) { model_.consume(p, afterGap); }

void SpectrumView::clear() {
  model_.clear();
  setFrozen(false);
  update();
}

void SpectrumView::setLogFrequency(bool log) {
  log_ = log;
  logAction_.setChecked(log);
  update();
}

void SpectrumView::resetPeaks() {
  model_.resetPeaks();
  if (frozen())
    std::fill(shown_.peaks.begin(), shown_.peaks.end(), -std::numeric_limits<double>::infinity());
  update();
}

void SpectrumView::frozenChanged() {
  if (frozen())
    takeShown();
}

void SpectrumView::takeShown() {
  shown_.levels = model_.levels();
  shown_.peaks = model_.peaks();
  shown_.strongest = model_.strongest();
  shown_.frames = model_.frames();
}

GridLayout SpectrumView::gridLayout(const QRectF& plot, const FrequencyAxis& axis) const {
  GridLayout g;
  g.x = placed(axis.ticks(), [&](double hz) { return axis.toX(hz, plot); });
  g.y = placed(levelTicks(), [&](double db) { return levelToY(db, plot); });
  g.xUnit = QStringLiteral("Hz");
  g.yTitle = QStringLiteral("level, dB");
  g.title = config().title;
  g.about = QStringLiteral("%1 bins of %2 Hz \u00b7 %3")
                .arg(config().bins())
                .arg(config().binHz(), 0, 'f', 2)
                .arg(log_ ? QStringLiteral("log axis") : QStringLiteral("linear axis"));
  g.hints = QStringLiteral("Space freeze \u00b7 L linear/log \u00b7 R reset peak hold \u00b7 Ctrl+S save PNG");
  return g;
}

void SpectrumView::paintContent(QPainter& p, QSize size, bool overlays) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  const QRectF plot = plotRect(size);
  const FrequencyAxis axis{config().nyquistHz(), log_};
  p.drawImage(QPointF(0, 0), grid_.image(size, dpr, gridLayout(plot, axis)));
  // While frozen the copy taken at the freeze stays; otherwise it follows the model.
  if (!frozen())
    takeShown();
  const Shown& s = shown_;

  p.save();
  p.setClipRect(plot);
  p.setRenderHint(QPainter::Antialiasing, true);
  paintSpectrum(p, plot, s, axis);
  const bool cursorOnPlot = overlays && cursorOver(plot);
  if (cursorOnPlot)
    paintCrosshair(p, plot);
  p.restore();

  const double baseline = plot.top() - 10;
  p.setFont(uiFont());
  double right = size.width() - 18;
  if (cursorOnPlot) {
    const QPointF c = *cursor();
    right = drawRightToLeft(p, right, baseline,
                            QStringLiteral("cursor  %1  %2").arg(frequencyText(axis.fromX(c.x(), plot)),
                                                                 levelText(yToLevel(c.y(), plot))),
                            palette::text);
  }
  if (s.strongest >= 0 && size_t(s.strongest) < s.levels.size()) {
    const QString text = QStringLiteral("peak  %1  %2")
                             .arg(frequencyText(s.strongest * config().binHz()),
                                  levelText(s.levels[size_t(s.strongest)]));
    drawRightToLeft(p, right, baseline, text, palette::strongest);
  }
}

void SpectrumView::paintSpectrum(QPainter& p, const QRectF& plot, const Shown& s, const FrequencyAxis& axis) {
  if (s.frames == 0)
    return;
  if (!s.peaks.empty()) {
    spectrumLine(s.peaks, config().binHz(), axis, plot, line_);
    QPen pen(palette::peakHold, 1);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawPolyline(line_);
  }
  spectrumLine(s.levels, config().binHz(), axis, plot, line_);
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
      p.drawImage(QRect(x, int(plot.top()) + top, 1, stripHeight - top), fillStrip_,
                  QRect(0, top, 1, stripHeight - top));
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  strokeLine(p, line_, palette::spectrum);

  if (s.strongest >= 0 && size_t(s.strongest) < s.levels.size()) {
    const double hz = s.strongest * config().binHz();
    const QPointF at(axis.toX(hz, plot), std::max(plot.top() + 7, levelToY(s.levels[size_t(s.strongest)], plot)));
    const QPointF tip(at.x(), at.y() - 3);
    const QPointF marker[3] = {tip, tip + QPointF(-4, -7), tip + QPointF(4, -7)};
    p.setPen(Qt::NoPen);
    p.setBrush(palette::strongest);
    p.drawPolygon(marker, 3);
    p.setBrush(Qt::NoBrush);
  }
}

}  // namespace quorvel::display
