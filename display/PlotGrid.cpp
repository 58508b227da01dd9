#include "display/PlotGrid.h"

#include "display/Palette.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace quorvel::display {

const QImage& PlotGrid::image(QSize size, qreal dpr, ScopeMode mode, bool logFrequency,
                              const ScopeConfig& config) {
  const QSize pixels = (QSizeF(size) * dpr).toSize();
  if (image_.size() != pixels || image_.devicePixelRatio() != dpr || mode_ != mode || log_ != logFrequency) {
    image_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(dpr);
    mode_ = mode;
    log_ = logFrequency;
    draw(image_, mode, logFrequency, config);
  }
  return image_;
}

void PlotGrid::draw(QImage& img, ScopeMode mode, bool logFrequency, const ScopeConfig& config) {
  const QSize size = (QSizeF(img.size()) / img.devicePixelRatio()).toSize();
  const QRectF plot = plotRect(size);
  QPainter p(&img);
  p.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), palette::window);
  QLinearGradient shade(plot.topLeft(), plot.bottomLeft());
  shade.setColorAt(0, palette::plotTop);
  shade.setColorAt(1, palette::plotBottom);
  p.fillRect(plot, shade);

  const bool spectrum = mode == ScopeMode::Spectrum;
  const FrequencyAxis freq{config.nyquistHz(), logFrequency};
  const auto xTicks = spectrum ? freq.ticks() : timeTicks(config.spanMs());
  const auto yTicks = spectrum ? levelTicks() : amplitudeTicks();
  auto xOf = [&](double v) { return spectrum ? freq.toX(v, plot) : timeToX(v, config.spanMs(), plot); };
  auto yOf = [&](double v) { return spectrum ? levelToY(v, plot) : amplitudeToY(v, plot); };

  // Minor lines first, so major ones stay on top where they cross.
  for (bool major : {false, true}) {
    p.setPen(QPen(major ? palette::gridMajor : palette::gridMinor, 1));
    for (const Tick& t : xTicks)
      if (t.major == major) {
        const double x = std::round(xOf(t.value)) + 0.5;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
      }
    for (const Tick& t : yTicks)
      if (t.major == major) {
        const double y = std::round(yOf(t.value)) + 0.5;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
      }
  }
  if (!spectrum) {
    p.setPen(QPen(palette::gridZero, 1));
    const double y = std::round(amplitudeToY(0, plot)) + 0.5;
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
  p.setPen(QPen(palette::frame, 1));
  p.drawRect(plot.adjusted(-0.5, -0.5, 0.5, 0.5));

  QFont font;
  font.setPixelSize(11);
  p.setFont(font);
  p.setPen(palette::label);
  const double labelTop = plot.bottom() + 4;
  for (const Tick& t : xTicks) {
    if (t.label.isEmpty())
      continue;
    const double x = xOf(t.value);
    // Labels at the plot's edges are pulled inside so they are not cut off.
    Qt::Alignment align = Qt::AlignHCenter;
    QRectF box(x - 40, labelTop, 80, 14);
    if (x - plot.left() < 12) {
      box.moveLeft(x - 2);
      align = Qt::AlignLeft;
    } else if (plot.right() - x < 20) {
      box.moveRight(x + 2);
      align = Qt::AlignRight;
    }
    p.drawText(box, align | Qt::AlignTop, t.label);
  }
  for (const Tick& t : yTicks) {
    if (t.label.isEmpty())
      continue;
    p.drawText(QRectF(0, yOf(t.value) - 7, plot.left() - 6, 14), Qt::AlignRight | Qt::AlignVCenter, t.label);
  }
  p.setPen(palette::dimText);
  p.drawText(QRectF(0, labelTop, plot.left() - 6, 14), Qt::AlignRight | Qt::AlignTop,
             spectrum ? QStringLiteral("Hz") : QStringLiteral("ms"));
  // The read-out line's fixed part, and the key hints of the status line.
  const double readoutBaseline = plot.top() - 10;
  QFont bold = font;
  bold.setBold(true);
  p.setFont(bold);
  p.setPen(palette::text);
  p.drawText(QPointF(plot.left(), readoutBaseline), config.title);
  const double aboutX = plot.left() + QFontMetricsF(bold).horizontalAdvance(config.title) + 14;
  p.setFont(font);
  p.setPen(palette::dimText);
  const QString about = spectrum
      ? QStringLiteral("%1 bins of %2 Hz \u00b7 %3").arg(config.bins()).arg(config.binHz(), 0, 'f', 2)
            .arg(logFrequency ? QStringLiteral("log axis") : QStringLiteral("linear axis"))
      : QStringLiteral("%1 points \u00b7 %2 Hz").arg(config.points).arg(config.rate);
  p.drawText(QPointF(aboutX, readoutBaseline), about);
  const QString hints = spectrum
      ? QStringLiteral("Space freeze \u00b7 L linear/log \u00b7 R reset peak hold \u00b7 Ctrl+S save PNG")
      : QStringLiteral("Space freeze \u00b7 Ctrl+S save PNG");
  p.drawText(QPointF(plot.left(), size.height() - 9), hints);

  p.save();
  p.translate(12, plot.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-80, -7, 160, 14), Qt::AlignCenter,
             spectrum ? QStringLiteral("level, dB") : QStringLiteral("amplitude, full scale"));
  p.restore();
}

}  // namespace quorvel::display
