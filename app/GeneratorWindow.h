// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Generator window: a sine, a square, a tone burst, a sweep or noise,
// played through the component's player (a component of the window's own)
// as a stream made as it plays, until Stop or for a number of seconds.
// Frequencies are set to 0.01 Hz, levels to 0.01 dB (AES17 dBFS).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "audio/Audio.h"

namespace platform {
class AudioSystem;
}

namespace app {

class GeneratorWindow : public QWidget {
 public:
  enum Signal { Sine, Square, Burst, LogSweep, LinearSweep, WhiteNoise, PinkNoise };

  explicit GeneratorWindow(platform::AudioSystem* system = nullptr, QWidget* parent = nullptr);
  ~GeneratorWindow() override;

  QComboBox* Waveform = nullptr;
  QDoubleSpinBox* Frequency = nullptr;
  QDoubleSpinBox* ToFrequency = nullptr;
  QDoubleSpinBox* Level = nullptr;
  QDoubleSpinBox* Seconds = nullptr;  // 0: until Stop
  QComboBox* Rate = nullptr;
  QComboBox* Device = nullptr;
  QCheckBox* Dither = nullptr;
  QPushButton* BtnPlay = nullptr;
  QLabel* Status = nullptr;

  void PlayClick();
  bool Playing() const;

 private:
  void closeEvent(QCloseEvent* event) override;
  void Fit();

  std::unique_ptr<audio::TAudio> audio_;
};

}  // namespace app
