// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The trace scope's picture: a sweep of the points of value 0 against time,
// triggered so that a periodic wave stands still, with the measurements of
// what is on screen in a line under the plot, two time cursors, and the
// trigger's level and position marked on the axes.
//
// Mouse: a click in the plot places time cursor A, then B, then moves the
// nearer one (drag to move); a press on the amplitude axis sets the trigger
// level (drag its marker); the wheel changes the timebase over the plot and
// the vertical zoom over the amplitude axis. Keys: the view's actions, in
// the window's toolbar and context menu.
#pragma once

#include "display/trace/TraceModel.h"
#include "display/ui/PlotGrid.h"
#include "display/ui/PlotView.h"

#include <QElapsedTimer>
#include <QPolygonF>
#include <QTime>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace dsp {
struct TraceMeasurements;
}

namespace quorvel::display {

class TraceView : public PlotView {
 public:
  explicit TraceView(const ScopeConfig& config, QWidget* parent = nullptr);

  void arriving(size_t count) override;
  void consume(const ScopePoint& p, bool afterGap) override;
  void clear() override;
  QString clipboardText() const override;
  QList<QAction*> exportActions() override { return {saveSoundAction_}; }
  bool drained(size_t taken) override;
  void quickUpdated() override;

  const TraceModel& model() const { return model_; }
  const TraceSettings& settings() const { return model_.settings(); }
  void setSettings(const TraceSettings& s);
  // Searches afresh; in Single, takes one more sweep.
  void rearm();

  // Time cursors A (0) and B (1), in ms from the screen's left edge. They
  // keep their place on the screen when the timebase changes.
  static constexpr double kReconstructBelow = 10;  // points per cycle
  // Room the dBFS labels take at the plot's right edge.
  static constexpr double kRightLabels = 60;

  void setTimeCursor(int which, std::optional<double> ms);
  std::optional<double> timeCursor(int which) const;

  // Writes every point held (up to the last minute) as a WAV file, with a
  // cue point where the input broke off.
  bool saveSound(const QString& path, QString& error) const;

  // The plot inside a picture of this size.
  static QRectF plotArea(QSize size);

 protected:
  void paintContent(QPainter& p, QSize size, bool overlays) override;
  void frozenChanged() override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  enum class Drag { None, Level, CursorA, CursorB };

  QAction* addKeyAction(QMenu* menu, const QString& text, const QList<QKeySequence>& keys, std::function<void()> fn);
  void buildActions();
  void syncActions();
  void change(const std::function<void(TraceSettings&)>& edit);
  void stepLevel(int direction, bool fine = false);
  // Half-way between the recent minimum and maximum.
  void setAutoLevel();
  // Typed entry of the level and of the timebase.
  void enterLevel();
  void enterSpan();
  // The span of the scope's points, no zoom, the trigger in the middle.
  void defaultView();
  void setLevelFromY(double y);
  void placeCursor(double x, bool pressed);
  void saveSoundInteractively();
  GridLayout gridLayout(const QRectF& plot) const;

  void paintMarks(QPainter& p, const QRectF& plot);
  // A dot at each point, where they are at least 3 pixels apart.
  void paintSamples(QPainter& p, const QRectF& plot, const dsp::TraceHistory& h, const Sweep& s);
  void paintTimeCursors(QPainter& p, const QRectF& plot, const Sweep& s);
  // The pointer's line and dot; its read-out, for the line above the plot.
  QString paintHover(QPainter& p, const QRectF& plot, const Sweep* s);
  void paintMeasurements(QPainter& p, const QRectF& plot, const dsp::TraceMeasurements& m);
  void paintCursorReadings(QPainter& p, const QRectF& plot, const Sweep& s);
  // The trigger's state, or that input stopped coming.
  QString stateText() const;
  // The settings in words, made again only when they change.
  const QString& about();
  QString hints() const override;

  TraceModel model_;
  PlotGrid grid_;
  QPolygonF line_;                        // reused between pictures
  std::optional<TraceSettings> aboutOf_;  // what about_ tells
  QString about_;
  std::array<std::optional<double>, 2> cursors_;  // share of the screen's width from its left edge
  Drag drag_ = Drag::None;
  int wheelAngle_ = 0;          // the wheel's turn not yet spent on a step
  QElapsedTimer levelMoved_;    // the level line shows for a moment after a change
  QElapsedTimer sinceArrival_;  // since points last arrived
  bool runEnded_ = false;       // QuickUpDate came since

  QList<QAction*> modeActions_;
  QAction* slopeAction_ = nullptr;
  QAction* saveSoundAction_ = nullptr;
  bool showSamples_ = false;
};

}  // namespace quorvel::display
