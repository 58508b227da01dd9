// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A live meter of the input's level: a bar for the RMS level, a thinner one
// for the peak with a mark at the highest peak of the last two seconds, on a
// scale from -60 to 0 dBFS, and a clip light that stays lit for two seconds
// after a sample reached full scale. With numbers, it also reads both levels
// in dBFS. It takes each block as the GUI thread is about to sleep after the
// block came (the recorder wakes it to hand the buffer back), and between
// blocks falls back at about 30 pictures a second once none came for a
// while; it says when no block has come for longer.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/InputLevels.h"

namespace app {

class LevelMeter : public QWidget {
 public:
  LevelMeter(const InputLevels& levels, bool withNumbers, QWidget* parent = nullptr);

  // What the meter shows now; the bars fall back slowly, as meters do.
  double peakDb() const { return peakDb_; }
  double rmsDb() const { return rmsDb_; }
  bool clipLit() const;
  // A block came within the last half second.
  bool live() const;
  // The reading as a line of text, e.g. "peak −12.0 dBFS   RMS −15.1 dBFS".
  QString readingText() const;

  // Takes the latest block now, and lets the bars fall (this happens by itself).
  void Follow();

  QSize sizeHint() const override;
  // A click on the meter.
  std::function<void()> OnClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  // Where the bars are, and where a level falls on them.
  struct Scale {
    QRect bars, clip;
    int x(double db) const;
  };
  Scale scale() const;
  // What a picture of the meter shows.
  struct Look {
    bool live, clip;
    int peak, rms, max;
    bool rmsHot;
    QString reading;
    bool operator==(const Look&) const = default;
  };
  Look look() const;

  std::optional<Look> shown_;  // by the last picture
  const InputLevels& levels_;
  const bool withNumbers_;
  QTimer timer_;
  std::uint64_t lastBlock_ = 0;
  QElapsedTimer sinceBlock_, sinceFollow_, sinceClip_, sinceMax_;
  double peakDb_ = kSilenceDb, rmsDb_ = kSilenceDb, maxDb_ = kSilenceDb;
};

}  // namespace app
