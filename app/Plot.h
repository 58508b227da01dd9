// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A small chart for a measurement's curves: one or more series of points
// over a linear or logarithmic axis, a grid with labelled lines, and a
// read-out where the user clicks (the nearest point of each series, with
// its units). It only draws what it is given.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

namespace app {

class Plot : public QWidget {
 public:
  struct Series {
    QString name;
    QColor colour;
    std::vector<double> x, y;  // NaN: no point there
  };

  Plot(QString title, QString xUnit, QString yUnit, bool logX, QWidget* parent = nullptr);

  void setSeries(std::vector<Series> series);
  // The y range shown; without it, the data's.
  void setYRange(double lo, double hi);
  // The read-out for a click at x (in the axis's units), as shown.
  QString readOut(double x) const;
  const QString& shownReadOut() const noexcept { return readOut_; }
  // Where x lies across the plot area, for tests and clicks.
  double xAt(int pixel) const;
  int pixelOf(double x) const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QRect area() const;
  double scaleX(double x) const;  // 0 ... 1 across the area
  void ranges(double& x0, double& x1, double& y0, double& y1) const;
  void findRanges();

  QString title_, xUnit_, yUnit_;
  bool logX_;
  std::vector<Series> series_;
  bool fixedY_ = false;
  double yLo_ = 0, yHi_ = 1;
  double range_[4] = {10, 20000, -1, 1};  // x0, x1, y0, y1
  QString readOut_;
  int readOutPixel_ = -1;
};

}  // namespace app
