// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Levels window, reached from the strip's menu: a sound level meter
// and a band analyser on the captured sound. A big reading of L with its
// frequency and time weighting (LAF, LCS, ...), the measurement's figures
// (Leq, max, min, L10, L50, L90 and LCpeak) over an interval from 1 s to
// 24 h with its running time, and the band levels as bars with a peak hold.
// Levels are in dBFS, or in dB SPL once the input device is calibrated:
// from a calibrator's tone, or a typed sensitivity; a microphone's
// correction file applies to the bands (and, through the strip, to the
// spectrum scope's levels). Calibrations are kept per device
// (LevelsStore) and said under the readings.
//
// The samples come from the block handler through a SampleFeed; the
// window takes them on the GUI thread 25 times a second and measures them
// there (dsp::SoundLevelMeter, dsp::OctaveFilterBank).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/LevelsStore.h"
#include "dsp/Calibration.h"
#include "dsp/OctaveFilterBank.h"
#include "dsp/SoundLevelMeter.h"

class QPainter;

namespace app {

class BandBars;
class SampleFeed;

class LevelsWindow : public QWidget {
 public:
  // The feed outlives the window's use of it: it is touched only between
  // Begin and End (or the window's closing).
  explicit LevelsWindow(SampleFeed& feed, QWidget* parent = nullptr);

  // A run of capture begins at `rate` Hz from `device` (its name): a new
  // measurement, with the device's calibration.
  void Begin(double rate, const QString& device);
  // Capture has stopped: the figures stay as they are.
  void End();
  // Between Begin and End (or the window's closing).
  bool Running() const { return running_; }
  // The device whose calibration to show while nothing is captured.
  void ShowDevice(const QString& device);
  // Takes what the feed holds and shows the figures (the timer does so).
  void Follow();

  // A new measurement from now.
  void ResetMeasurement();
  // Reads the next 2 s of input as a calibrator's tone at
  // CalibratorLevel's level; the offset is set when it is one.
  void StartCalibration();
  bool Calibrating() const { return calibrating_; }
  // Calibrates from a typed offset.
  void SetOffset(double offsetDb, const QString& how);
  // Reads a microphone correction file and applies it; false, with the
  // reason shown, when it is refused.
  bool SetMicrophoneFile(const QString& path);
  void ForgetCalibration();
  // Called after a device's calibration or microphone file has changed.
  void OnCalibrationChanged(std::function<void()> f) { calibrationChanged_ = std::move(f); }

  const dsp::SoundLevelMeter* Meter() const { return meter_.get(); }
  const dsp::OctaveFilterBank* Bank() const { return bank_.get(); }
  const dsp::Calibration& CalibrationInUse() const { return calibration_; }
  dsp::Weighting ShownWeighting() const;
  dsp::TimeWeighting ShownTime() const;
  // The shown figure, in the shown unit (NaN when there is none).
  double Shown(dsp::Figure f) const;

  // The text of the shown figures and the bands' Leq, for the clipboard.
  QString CopyText() const;

  QComboBox *Weighting = nullptr, *Time = nullptr, *Bands = nullptr, *Interval = nullptr;
  QPushButton *Reset = nullptr, *Calibrate = nullptr, *Sensitivity = nullptr, *Microphone = nullptr, *Forget = nullptr;
  QDoubleSpinBox* CalibratorLevel = nullptr;
  QCheckBox* ApplyMicrophone = nullptr;
  QLabel *Main = nullptr, *Figures = nullptr, *Progress = nullptr, *CalibrationLine = nullptr, *Status = nullptr;
  BandBars* Bars = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Rebuild();  // the meter and the bank, for the rate and the choices
  void RebuildBands();
  void LoadCalibration();
  void SaveCalibration();
  void ShowCalibration();
  void ShowFigures();
  void FinishCalibration();
  void SaveView();

  SampleFeed& feed_;
  QTimer timer_;
  double rate_ = 0;  // 0: no run yet
  bool running_ = false;
  QString device_;
  DeviceCalibration stored_;
  dsp::Calibration calibration_;
  std::unique_ptr<dsp::SoundLevelMeter> meter_;
  std::unique_ptr<dsp::OctaveFilterBank> bank_;
  std::vector<float> block_;
  std::uint64_t droppedSeen_ = 0;
  double sinceBegin_ = 0;   // seconds of input since the run began
  double lostSeconds_ = 0;  // input lost since the measurement began
  QElapsedTimer sinceInput_;
  bool calibrating_ = false;
  std::vector<float> calibratorSamples_;
  QString note_;  // the last thing the window has to say
  std::function<void()> calibrationChanged_;
};

}  // namespace app
