// The still part of a scope picture: background, plot frame, grid and axis
// labels. It changes only with the size and the axes, so it is drawn once
// into an image and blitted under every frame.
#pragma once

#include "display/PlotAxes.h"
#include "display/ScopeConfig.h"
#include "display/ScopeView.h"

#include <QImage>
#include <QSize>

namespace quorvel::display {

class PlotGrid {
public:
  // The cached picture for these settings, redrawn when one of them changed.
  const QImage& image(QSize size, qreal dpr, ScopeMode mode, bool logFrequency, const ScopeConfig& config);

private:
  void draw(QImage& img, ScopeMode mode, bool logFrequency, const ScopeConfig& config);

  QImage image_;
  ScopeMode mode_ = ScopeMode::Trace;
  bool log_ = false;
};

}  // namespace quorvel::display
