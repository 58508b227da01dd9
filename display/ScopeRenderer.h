// Draws one picture of a scope: the cached grid, the data, the read-outs and
// the status line. The window paints with it, and so do the tests and the
// benchmark, into images.
#pragma once

#include "display/PlotGrid.h"
#include "display/ScopeConfig.h"
#include "display/ScopeView.h"

#include <QPainter>
#include <QPointF>
#include <QPolygonF>
#include <QSize>
#include <QString>

#include <optional>

namespace quorvel::display {

struct RenderOptions {
  bool logFrequency = false;
  bool frozen = false;
  std::optional<QPointF> cursor;  // mouse position in the picture, if over it
  QString notice;                 // shown in the status line instead of the key hints
};

class ScopeRenderer {
public:
  explicit ScopeRenderer(const ScopeConfig& config) : config_(config) {}

  void paint(QPainter& p, QSize size, const ScopeView& view, const RenderOptions& options);
  QImage render(QSize size, const ScopeView& view, const RenderOptions& options);

private:
  void paintTrace(QPainter& p, const QRectF& plot, const ScopeView& view);
  void paintSpectrum(QPainter& p, const QRectF& plot, const ScopeView& view, const FrequencyAxis& axis);
  void paintReadout(QPainter& p, QSize size, const QRectF& plot, const ScopeView& view,
                    const RenderOptions& options, const FrequencyAxis& axis);
  void paintStatus(QPainter& p, QSize size, const ScopeView& view, const RenderOptions& options);

  ScopeConfig config_;
  PlotGrid grid_;
  QPolygonF line_;   // reused between pictures
  QImage fillStrip_;  // the gradient under a spectrum, one pixel wide
};

}  // namespace quorvel::display
