// A scope's top-level window. A timer at the screen's refresh rate (at most
// 60 Hz) takes the points queued by ShowNext and repaints when something
// changed. Keys: Space freezes and unfreezes the picture, Ctrl+S saves it as
// PNG, L switches the spectrum's frequency axis between linear and
// logarithmic, R resets the peak hold.
#pragma once

#include "display/PointRing.h"
#include "display/ScopeModel.h"
#include "display/ScopeRenderer.h"
#include "display/ScopeView.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>

namespace quorvel::display {

class ScopeWindow : public QWidget {
public:
  // place: which scope this is (0, 1, ...), so that windows do not cover one another.
  ScopeWindow(const ScopeConfig& config, PointRing& ring, int place);

  // Takes every queued point; true when the picture has to change.
  bool drain();
  // Takes the queued points and repaints at once.
  void updateNow();
  // Drops queued points and starts again from an empty, unfrozen trace scope.
  void cleanBuffers();

  void setFrozen(bool frozen);
  bool frozen() const { return frozen_; }
  void setLogFrequency(bool log);
  bool logFrequency() const { return options_.logFrequency; }
  void resetPeaks();

  // The picture as the window shows it, at the given size.
  void paintTo(QPainter& p, QSize size);
  QImage render(QSize size);
  bool saveImage(const QString& path);

  const ScopeModel& model() const { return model_; }
  uint64_t dropped() const { return ring_.dropped() - droppedAtClean_; }

protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent*) override;

private:
  const ScopeView& currentView();
  void saveInteractively();
  void showNotice(const QString& text);

  PointRing& ring_;
  ScopeModel model_;
  ScopeRenderer renderer_;
  RenderOptions options_;
  ScopeView live_;
  ScopeView frozenView_;
  bool frozen_ = false;
  uint64_t droppedAtClean_ = 0;
  uint64_t droppedShown_ = 0;
  QTimer refresh_;
  QTimer noticeTimer_;
};

}  // namespace quorvel::display
