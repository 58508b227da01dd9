// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where values land on the plot, and where the grid lines go.
#pragma once

#include <QRectF>
#include <QSize>
#include <QString>

#include <vector>

namespace quorvel::display {

// The plot area inside a scope picture of the given size; the margins hold
// the axis labels, the read-out line above and the status line below.
QRectF plotRect(QSize size);
// The same with footer pixels kept free under the axis labels, for a line of
// the view's own.
QRectF plotRect(QSize size, double footer);

struct Tick {
  double value;
  bool major;  // drawn brighter, and labelled when label is not empty
  QString label;
};

// Amplitude: +1 at the top edge, -1 at the bottom edge.
double amplitudeToY(double v, const QRectF& plot);
double yToAmplitude(double y, const QRectF& plot);

// Amplitude with a vertical zoom: +1/zoom at the top edge, -1/zoom at the
// bottom edge.
struct AmplitudeAxis {
  double zoom = 1;

  double toY(double v, const QRectF& plot) const { return amplitudeToY(v * zoom, plot); }
  double fromY(double y, const QRectF& plot) const { return yToAmplitude(y, plot) / zoom; }
  // Lines in 1-2-5 steps, the major ones labelled in full scale.
  std::vector<Tick> ticks() const;
  // The major lines but 0, labelled with their level in dBFS.
  std::vector<Tick> dbfsTicks() const;
};

// Time: 0 ms (oldest point) at the left edge, spanMs at the right edge.
double timeToX(double ms, double spanMs, const QRectF& plot);
double xToTime(double x, double spanMs, const QRectF& plot);
// Labelled in the unit timeUnit gives: ms, or s from a span of 1 s up.
std::vector<Tick> timeTicks(double spanMs);
QString timeUnit(double spanMs);
// A time in that unit, to the precision one of `pixels` across the span
// stands for: "12.35 ms", "1.250 s".
QString timeText(double ms, double spanMs, double pixels);

// Level in dB: topDb at the top edge, bottomDb at the bottom edge.
struct LevelAxis {
  double topDb = 0;
  double bottomDb = -120;

  double toY(double db, const QRectF& plot) const;
  double fromY(double y, const QRectF& plot) const;
  // Lines in 1-2-5 steps, the major ones labelled.
  std::vector<Tick> ticks() const;
};

// Frequency from 0 (linear) or kLogLowHz (logarithmic) to maxHz.
inline constexpr double kLogLowHz = 20.0;
struct FrequencyAxis {
  double maxHz;
  bool log;

  double toX(double hz, const QRectF& plot) const;
  double fromX(double x, const QRectF& plot) const;
  std::vector<Tick> ticks() const;
};

// "1.5 kHz"-style frequency text and "-3.2 dB"-style level text.
QString frequencyText(double hz);
QString levelText(double db);

}  // namespace quorvel::display
