// Turns trace points and spectrum bins into the polylines that are drawn.
// Where more values fall on one pixel column than can be told apart, the
// column keeps its extremes (trace: minimum and maximum; spectrum: the loudest
// bin), so a peak never disappears between pixels and a drawing costs at most
// a few vertices per column however many points there are.
#pragma once

#include "display/ui/PlotAxes.h"

#include <QPolygonF>
#include <QRectF>

#include <vector>

namespace quorvel::display {

// values: oldest first, spread evenly across the plot's width.
void traceLine(const std::vector<double>& values, const QRectF& plot, QPolygonF& out);

// levels: dB per bin, bin k at k * binHz. Levels below the axis (or not
// finite) sit on the bottom edge; bins beyond the axis are left out.
void spectrumLine(const std::vector<double>& levels, double binHz, const FrequencyAxis& axis,
                  const LevelAxis& level, const QRectF& plot, QPolygonF& out);

}  // namespace quorvel::display
