// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Measure window: a device measured as quorvel-measure measures it
// (audio::TMeasurement on a component of the window's own), with its
// settings, a Start/Stop button and a progress bar, the summary figures,
// the magnitude, phase, impulse-response and distortion plots (a click
// reads a plot's value), and the same files exported.
#pragma once

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <memory>

#include "app/Plot.h"
#include "audio/Audio.h"
#include "audio/Measurement.h"

namespace platform {
class AudioSystem;
}

namespace app {

class MeasureWindow : public QWidget {
 public:
  explicit MeasureWindow(platform::AudioSystem* system = nullptr, QWidget* parent = nullptr);
  ~MeasureWindow() override;

  QComboBox* Stimulus = nullptr;
  QDoubleSpinBox* Seconds = nullptr;
  QDoubleSpinBox* Level = nullptr;
  QDoubleSpinBox* FromHz = nullptr;
  QDoubleSpinBox* ToHz = nullptr;
  QSpinBox* Averages = nullptr;
  QComboBox* Rate = nullptr;
  QComboBox* PlayDevice = nullptr;
  QComboBox* RecordDevice = nullptr;
  QPushButton* BtnStart = nullptr;
  QPushButton* BtnExport = nullptr;
  QProgressBar* Progress = nullptr;
  QLabel* Summary = nullptr;
  Plot* Magnitude = nullptr;
  Plot* Phase = nullptr;
  Plot* Impulse = nullptr;
  Plot* Distortion = nullptr;

  void StartClick();
  // Writes the files into `dir`; false with the reason shown.
  bool ExportTo(const QString& dir);
  const audio::TMeasurement& Measurement() const { return *measurement_; }

 private:
  void closeEvent(QCloseEvent* event) override;
  measure::Settings Settings() const;
  void Finished();
  void Show(const measure::Result& r);

  std::unique_ptr<audio::TAudio> audio_;
  std::unique_ptr<audio::TMeasurement> measurement_;
};

}  // namespace app
