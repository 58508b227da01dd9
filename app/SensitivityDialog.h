// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A calibration typed in rather than measured: either what full scale reads
// in dB SPL, or the microphone's sensitivity in mV/Pa and the level, in
// volts RMS, of a full-scale sine on the input it is plugged into.
#pragma once

#include <QDialog>
#include <QDoubleSpinBox>
#include <QRadioButton>

namespace app {

class SensitivityDialog : public QDialog {
 public:
  // `offsetDb`: the offset in use, if any, to start from.
  SensitivityDialog(double offsetDb, QWidget* parent = nullptr);

  // dB SPL = dBFS + OffsetDb(); How() says where it came from.
  double OffsetDb() const;
  QString How() const;

  QRadioButton *ByFullScale = nullptr, *BySensitivity = nullptr;
  QDoubleSpinBox *FullScaleDb = nullptr, *MillivoltsPerPascal = nullptr, *FullScaleVolts = nullptr;
};

}  // namespace app
