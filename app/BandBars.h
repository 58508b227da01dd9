// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The band display of the Levels window: a bar per band for its level now,
// and above it a mark at the highest level the band has had since the last
// reset (the peak hold), on a scale of 100 dB whose top is full scale
// (0 dBFS, or what it is in dB SPL when calibrated). The bands' names stand
// under them as far as they fit.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "dsp/PeakHold.h"

class QPainter;

namespace app {

class BandBars : public QWidget {
 public:
  explicit BandBars(QWidget* parent = nullptr);

  // A new set of bands, by name; the holds start afresh. `topDb`: full
  // scale in `unit`.
  void SetBands(std::vector<QString> names, double topDb, const QString& unit);
  // The same bands in another unit (calibrated, or no longer): the holds
  // start afresh if it changes.
  void SetScale(double topDb, const QString& unit);
  // The bands' levels now (NaN or -infinity: no bar); held unless `hold`
  // is false.
  void SetLevels(const std::vector<double>& levels, bool hold = true);
  void ResetHold();
  const std::vector<double>& Levels() const { return levels_; }
  const std::vector<double>& Held() const { return hold_.levels(); }

  // The whole picture, at any size (the widget paints through it).
  void Paint(QPainter& p, QSize size) const;
  QSize sizeHint() const override { return {640, 260}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::vector<QString> names_;
  std::vector<double> levels_;
  dsp::PeakHold hold_{0};
  double topDb_ = 0;
  QString unit_ = QStringLiteral("dBFS");
};

}  // namespace app
