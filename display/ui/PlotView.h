// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The picture of one kind of scope inside a scope window.
//
// The window takes the points that ShowNext queued and hands them to its
// current view on the GUI thread; the view keeps what it shows, draws it, and
// offers its own actions (QWidget::actions(): the window puts them in its
// toolbar and context menu, and their shortcuts are the view's keys). What
// every view shares lives here: the status line (points lost, FROZEN,
// notices), freezing, the mouse cursor, and rendering into an image.
#pragma once

#include "display/ScopeConfig.h"
#include "display/ui/LineRaster.h"
#include "display/ui/PlotBackground.h"
#include "display/ui/ReadoutLine.h"
#include "scope/ScopeApi.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <QString>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvel::display {

class PlotView : public QWidget {
 public:
  explicit PlotView(const ScopeConfig& config, QWidget* parent = nullptr);

  // Before the window hands over the `count` points queued now (some).
  virtual void arriving(size_t /*count*/) {}
  // One point from the ring. afterGap: points were lost just before it.
  virtual void consume(const ScopePoint& p, bool afterGap) = 0;
  // Back to nothing received, unfrozen.
  virtual void clear() = 0;

  // The whole picture at the given size. Without overlays it leaves out
  // what belongs to the moment or to the screen (the mouse cursor, notices,
  // the FROZEN badge), as a saved picture does.
  void paintPicture(QPainter& p, QSize size, bool overlays = true);
  QImage render(QSize size, bool overlays = true);
  // The whole picture, with its overlays, into the pixels the last picture
  // so painted was painted into and nothing else has changed since (a
  // window's backing store): what the last one drew over the still
  // background is put back and the new picture drawn over it.
  void paintOver(QPainter& p, QSize size);

  // A frozen view keeps showing what it showed while points keep coming in.
  void setFrozen(bool frozen);
  bool frozen() const { return frozen_; }
  // Points lost since the scope was last cleaned, shown in the status line.
  void setDropped(uint64_t dropped) { dropped_ = dropped; }
  // The health line, at the status line's right end in place of the count
  // of points lost: what was lost (in the warning colour when anything
  // was) and the timing. None: not shown.
  struct Health {
    QString lost;
    bool anyLost;
    QString timing;
    bool operator==(const Health&) const = default;
  };
  void setHealth(std::optional<Health> health) { health_ = std::move(health); }
  const std::optional<Health>& health() const { return health_; }
  // Pictures painted on screen (not rendered into images) so far.
  uint64_t pictures() const { return pictures_; }
  // Shown in the status line, in place of the key hints, for a few seconds.
  void showNotice(const QString& text);

  // After each time the window took queued points (taken may be 0, at the
  // refresh rate): true when the view needs repainting for a reason of its
  // own, such as input that stopped coming.
  virtual bool drained(size_t taken) = 0;
  // After QuickUpDate had the window take the points and repaint: the
  // sender says the stream has ended for now.
  virtual void quickUpdated();

  // Whether what the view shows keeps coming: nothing yet, coming, stalled
  // (it came, then nothing for kStallMs without the sender saying it had
  // finished), or stopped (the sender said so with QuickUpDate).
  enum class Input { None, Coming, Stalled, Stopped };
  static constexpr int kStallMs = 1000;
  Input input() const { return input_; }

  // The view's ways of saving what it shows (beside the window's PNG).
  virtual QList<QAction*> exportActions() { return {}; }

  // What Ctrl+C puts on the clipboard: the view's measurements and data as
  // text; empty when there is nothing to copy.
  virtual QString clipboardText() const { return {}; }

  const ScopeConfig& config() const { return config_; }

  // Where the texts of the last picture went: the axes' labels, each piece
  // of the read-out lines, the boxes of read-outs and the marks they must
  // not cover. Laid out so that none covers another at any size from
  // 400 x 300 up.
  const std::vector<TextBox>& textBoxes() const { return boxes_; }

 protected:
  // A piece of the line above the plot.
  struct Readout {
    QString text;
    QColor colour;
    QString what;
  };
  // The line above the plot: `right` set from the right end (the first
  // rightmost, each whole or left out), then the title and `about` from the
  // left in the room left (cut short with an ellipsis).
  void paintTopLine(QPainter& p, QSize size, const QString& about, const std::vector<Readout>& right);
  // The key hints of the status line.
  virtual QString hints() const = 0;
  // A text or mark drawn over the background, in rect.
  void noteText(const QPainter& p, const QString& what, const QRectF& rect);
  // The still background (the grid, its labels at stillBoxes) under the
  // picture: first thing in paintContent.
  void putBackground(QPainter& p, const StillImage& still, const std::vector<TextBox>& stillBoxes);
  // Everything drawn over the background is noted as soon as it is drawn:
  // lines and fills by lines(), texts and marks by their boxes (noteText,
  // ReadoutLine), every other piece here.
  void cover(const QPainter& p, const QRectF& r) { background_.cover(p, r); }
  // A line of read-outs between left and right on the baseline, noted.
  ReadoutLine readoutLine(QPainter& p, double left, double right, double baseline);
  // Draws the data lines.
  LineRaster& lines() { return lines_; }

  // The view's own part of the picture: grid, data and read-outs.
  virtual void paintContent(QPainter& p, QSize size, bool overlays) = 0;
  // Called after the frozen state changed: a view takes or drops the still
  // copy of what it shows.
  virtual void frozenChanged() {}

  // The mouse position over the picture, if it is over it.
  const std::optional<QPointF>& cursor() const { return cursor_; }
  bool cursorOver(const QRectF& plot) const { return cursor_ && plot.contains(*cursor_); }
  // Called from drained(): came says whether new input reached the view.
  // True when input() changed.
  bool watchInput(bool came);
  void forgetInput() { input_ = Input::None; }
  // "stopped", "no <what> since hh:mm:ss", or empty while input comes.
  QString inputText(const QString& what) const;

  // Dashed lines through the mouse position across the plot.
  void paintCrosshair(QPainter& p, const QRectF& plot);

  void paintEvent(QPaintEvent*) override;
  void showEvent(QShowEvent*) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent*) override;

 private:
  void paint(QPainter& p, QSize size, bool overlays, bool samePixels);
  void paintStatus(QPainter& p, QSize size, bool overlays);

  const ScopeConfig config_;
  bool frozen_ = false;
  uint64_t dropped_ = 0;
  std::optional<Health> health_;
  uint64_t pictures_ = 0;
  std::optional<QPointF> cursor_;
  std::vector<TextBox> boxes_;
  TextCache texts_;
  PlotBackground background_;
  bool samePixels_ = false;  // the picture being painted is painted over the last
  LineRaster lines_;
  Input input_ = Input::None;
  QElapsedTimer sinceInput_;
  QTime lastInput_;  // when the last of it came, once it stalled
  QString notice_;
  QTimer noticeTimer_;
};

}  // namespace quorvel::display
