// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Turns trace points and spectrum bins into the polylines that are drawn.
// Where more values fall on one pixel column than can be told apart, the
// column keeps its extremes (trace: minimum and maximum; spectrum: the loudest
// bin), so a peak never disappears between pixels and a drawing costs at most
// a few vertices per column however many points there are.
#pragma once

#include "display/trace/TraceModel.h"
#include "display/ui/PlotAxes.h"
#include "dsp/TraceHistory.h"

#include <QPolygonF>
#include <QRectF>

#include <vector>

namespace quorvel::display {

// The points of a sweep (placed to a fraction of a point: a triggered sweep
// starts at its interpolated instant) over the plot's width. Points the
// history does not hold, and points outside the sweep's stretch, are left out.
// Up to kTraceColumnPoints points per pixel column, the line goes through
// every point where it lies, so a sweep placed a fraction of a point later
// is drawn that much later; beyond, each column is one stroke from its
// minimum to its maximum.
inline constexpr double kTraceColumnPoints = 4;
// reconstruct: from a pixel per point up, the line between the points is
// the band-limited signal they are samples of (sin(x)/x interpolation, as
// bench scopes draw a fast timebase), not straight lines between them.
void traceLine(const dsp::TraceHistory& h, const Sweep& s, const AmplitudeAxis& axis, const QRectF& plot,
               QPolygonF& out, bool reconstruct = false);

// levels: dB per bin, bin k at k * binHz. Levels below the axis (or not
// finite) sit on the bottom edge; bins beyond the axis are left out.
void spectrumLine(const std::vector<double>& levels, double binHz, const FrequencyAxis& axis, const LevelAxis& level,
                  const QRectF& plot, QPolygonF& out);

}  // namespace quorvel::display
