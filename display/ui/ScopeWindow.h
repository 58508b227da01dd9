// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A scope's top-level window: a toolbar over the scope's picture.
//
// The toolbar holds only labelled buttons: Freeze, the current view's menus,
// and a Save menu (PNG, the view's own files, Copy). When the window is too
// narrow for them, they fold into one labelled menu, so that every action
// stays in reach with its name; the context menu offers the same.
//
// A timer at the screen's refresh rate (at most 60 Hz) takes the points
// queued by ShowNext and hands them to the current view, which is repainted
// when something changed. The health line (key I, in the context menu; kept
// per title) says in the status line what was lost and how the window keeps
// up: blocks a second, pictures a second, how long a block waits from its
// arrival to the first picture that shows it, and how long its sound took
// from capture to the screen (ScopeHealth).
//
// A scope starts as a trace scope and becomes a frame scope with the first
// frame marker it receives; a scope whose configuration expects frames
// starts as a frame scope. The toolbar and the context menu offer the
// window's own actions (freeze, save as PNG, copy) and then the current
// view's, each with its key.
#pragma once

#include "display/PointRing.h"
#include "display/ScopeConfig.h"
#include "display/ScopeHealth.h"
#include "display/ScopeTimingLog.h"
#include "display/ui/RefreshClock.h"
#include "display/ui/PlotView.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QStackedWidget;
class QToolBar;

namespace quorvel::display {

class SpectrumView;
class TraceView;

class ScopeWindow : public QWidget {
 public:
  // place: which scope this is (0, 1, ...), so that windows do not cover one another.
  ScopeWindow(const ScopeConfig& config, PointRing& ring, int place);

  // Takes every queued point; true when the picture has to change.
  bool drain();
  // Takes the queued points and repaints at once.
  void updateNow();
  // Drops queued points and starts again from an empty, unfrozen scope of
  // the kind it was made as.
  void cleanBuffers();

  PlotView& view();
  TraceView& traceView() { return *trace_; }
  const TraceView& traceView() const { return *trace_; }
  SpectrumView& spectrumView() { return *spectrum_; }
  const SpectrumView& spectrumView() const { return *spectrum_; }
  bool showsFrames() const { return showsFrames_; }

  void setFrozen(bool frozen);
  bool frozen();
  void setHealthShown(bool shown);
  bool healthShown() const { return healthAction_.isChecked(); }
  const ScopeHealth& health() const { return health_; }
  // Points taken from the ring, and points the ring dropped, since the last clean.
  uint64_t received() const { return received_; }
  uint64_t dropped() const { return ring_.dropped() - droppedAtClean_; }

  // The current view's picture at the window's size, without the cursor, as PNG.
  bool saveImage(const QString& path);
  // Puts the current view's text on the clipboard; false when it has none.
  bool copyToClipboard();

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void showView(PlotView* view);
  // Freeze, the view's actions, and the Save menu.
  QList<QAction*> toolbarActions();
  // Those and the health line's.
  QList<QAction*> allActions();
  // The health line as it stands now.
  PlotView::Health healthLine(int64_t now) const;
  // Lays the toolbar out whole, or folded when it does not fit the width.
  void fitToolbar();
  void saveInteractively();

  PointRing& ring_;
  QToolBar* toolbar_;
  QStackedWidget* stack_;
  TraceView* trace_;
  SpectrumView* spectrum_;
  QAction freezeAction_;
  QAction healthAction_;
  QAction saveAction_;
  QAction copyAction_;
  QMenu saveMenu_, foldedMenu_;
  QAction saveMenuAction_, foldedAction_;
  int wholeToolbarWidth_ = 0;  // what the unfolded toolbar needs
  bool folded_ = false;
  const bool framesFromStart_;
  bool showsFrames_;
  uint64_t received_ = 0;
  uint64_t lastDropped_ = 0;  // the drop count the last point taken carried
  uint64_t droppedAtClean_ = 0;
  uint64_t droppedShown_ = 0;
  ScopeHealth health_;
  // The blocks taken since the last picture.
  std::vector<BatchStamp> waiting_;
  QElapsedTimer healthSet_;                    // since the health line was last set
  QElapsedTimer lastPicture_;                  // since the last picture was drawn
  std::unique_ptr<ScopeTimingLog> timingLog_;  // for the sound-to-screen benchmark
  RefreshClock refresh_;                       // last: it ticks only while everything above lives
};

}  // namespace quorvel::display
