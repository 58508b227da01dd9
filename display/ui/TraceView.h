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
#include <QStaticText>
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

  void consume(const ScopePoint& p, bool afterGap) override;
  void clear() override;
  QString clipboardText() const override;
  bool drained(size_t taken) override;
  void quickUpdated() override;

  const TraceModel& model() const { return model_; }
  const TraceSettings& settings() const { return model_.settings(); }
  void setSettings(const TraceSettings& s);
  // Searches afresh; in Single, takes one more sweep.
  void rearm();

  // Time cursors A (0) and B (1), in ms from the screen's left edge. They
  // keep their place on the screen when the timebase changes.
  void setTimeCursor(int which, std::optional<double> ms);
  std::optional<double> timeCursor(int which) const;

  // Writes every point held (up to the last minute) as a WAV file.
  bool saveSound(const QString& path, QString& error) const;

  // The plot inside a picture of this size.
  static QRectF plotArea(QSize size);

 protected:
  void paintContent(QPainter& p, QSize size, bool overlays) override;
  void frozenChanged() override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  enum class Drag { None, Level, CursorA, CursorB };

  QAction* addKeyAction(QMenu* menu, const QString& text, const QList<QKeySequence>& keys, std::function<void()> fn);
  void buildActions();
  void syncActions();
  void change(const std::function<void(TraceSettings&)>& edit);
  void stepLevel(int direction);
  void setLevelFromY(double y);
  void placeCursor(double x, bool pressed);
  void saveSoundInteractively();
  void updateStopped();
  GridLayout gridLayout(const QRectF& plot) const;

  void paintMarks(QPainter& p, const QRectF& plot) const;
  void paintTimeCursors(QPainter& p, const QRectF& plot, const Sweep& s) const;
  void paintHover(QPainter& p, const QRectF& plot, const Sweep* s, QSize size);
  void paintMeasurements(QPainter& p, const QRectF& plot, const dsp::TraceMeasurements& m);
  void paintCursorReadings(QPainter& p, const QRectF& plot, const Sweep& s) const;
  void paintState(QPainter& p, const QRectF& plot, QSize size) const;
  void paintStall(QPainter& p, const QRectF& plot) const;

  TraceModel model_;
  PlotGrid grid_;
  QPolygonF line_;  // reused between pictures
  QStaticText measureText_;
  std::array<std::optional<double>, 2> cursors_;  // share of the screen's width from its left edge
  Drag drag_ = Drag::None;
  int wheelAngle_ = 0;        // the wheel's turn not yet spent on a step
  QElapsedTimer levelMoved_;  // the level line shows for a moment after a change
  bool saving_ = false;       // the sound file dialog is open

  // Input that stopped: points came, then none for a second, and the sender
  // did not say it had finished (QuickUpDate).
  QElapsedTimer sinceInput_;
  QTime lastInput_;
  bool inputSeen_ = false;
  bool finished_ = false;
  bool stalled_ = false;

  QList<QAction*> modeActions_;
  QAction* slopeAction_ = nullptr;
};

}  // namespace quorvel::display
