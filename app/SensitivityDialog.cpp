// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SensitivityDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "dsp/Calibration.h"

namespace app {

namespace {
QDoubleSpinBox* Spin(double lo, double hi, int decimals, double value, const QString& suffix, QWidget* parent) {
  auto* s = new QDoubleSpinBox(parent);
  s->setRange(lo, hi);
  s->setDecimals(decimals);
  s->setValue(value);
  s->setSuffix(suffix);
  return s;
}
}  // namespace

SensitivityDialog::SensitivityDialog(double offsetDb, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Sensitivity"));
  ByFullScale = new QRadioButton(QStringLiteral("Full scale (0 dBFS) reads"), this);
  BySensitivity = new QRadioButton(QStringLiteral("Microphone sensitivity"), this);
  FullScaleDb = Spin(40, 200, 2, offsetDb, QStringLiteral(" dB SPL"), this);
  MillivoltsPerPascal = Spin(0.01, 10000, 2, 10, QStringLiteral(" mV/Pa"), this);
  FullScaleVolts = Spin(0.001, 100, 3, 1, QStringLiteral(" V RMS"), this);
  ByFullScale->setChecked(true);
  auto* grid = new QGridLayout;
  grid->addWidget(ByFullScale, 0, 0);
  grid->addWidget(FullScaleDb, 0, 1);
  grid->addWidget(BySensitivity, 1, 0);
  grid->addWidget(MillivoltsPerPascal, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("on an input whose full-scale sine is"), this), 2, 0, Qt::AlignRight);
  grid->addWidget(FullScaleVolts, 2, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
  const auto enable = [this] {
    FullScaleDb->setEnabled(ByFullScale->isChecked());
    MillivoltsPerPascal->setEnabled(BySensitivity->isChecked());
    FullScaleVolts->setEnabled(BySensitivity->isChecked());
  };
  connect(ByFullScale, &QRadioButton::toggled, this, enable);
  enable();
}

double SensitivityDialog::OffsetDb() const {
  return ByFullScale->isChecked() ? FullScaleDb->value()
                                  : dsp::offsetFromSensitivity(MillivoltsPerPascal->value(), FullScaleVolts->value());
}

QString SensitivityDialog::How() const {
  if (ByFullScale->isChecked()) return QStringLiteral("typed in");
  return QStringLiteral("microphone %1 mV/Pa, full scale %2 V")
      .arg(QString::number(MillivoltsPerPascal->value(), 'f', 2), QString::number(FullScaleVolts->value(), 'f', 3));
}

}  // namespace app
