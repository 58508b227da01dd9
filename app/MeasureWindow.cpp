// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MeasureWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/DeviceChoice.h"
#include "measure/ResultFiles.h"

namespace app {

namespace {
QDoubleSpinBox* Number(double lo, double hi, double value, int decimals, const QString& suffix) {
  auto* box = new QDoubleSpinBox;
  box->setRange(lo, hi);
  box->setDecimals(decimals);
  box->setValue(value);
  box->setSuffix(suffix);
  return box;
}
}  // namespace

MeasureWindow::MeasureWindow(platform::AudioSystem* system, QWidget* parent)
    : QWidget(parent, Qt::Window),
      audio_(std::make_unique<audio::TAudio>(nullptr, system)),
      measurement_(std::make_unique<audio::TMeasurement>(*audio_)) {
  setWindowTitle(QStringLiteral("Measure — Quorvel audio"));
  Stimulus = new QComboBox;
  Stimulus->addItem(QStringLiteral("Exponential sine sweep"));
  Stimulus->addItem(QStringLiteral("Periodic pink noise"));
  Seconds = Number(1, 60, 10, 1, QStringLiteral(" s"));
  Level = Number(-60, 0, -12, 2, QStringLiteral(" dBFS"));
  FromHz = Number(1, 30000, 20, 2, QStringLiteral(" Hz"));
  ToHz = Number(100, 31000, 20000, 2, QStringLiteral(" Hz"));
  Averages = new QSpinBox;
  Averages->setRange(1, 64);
  Averages->setValue(1);
  Rate = new QComboBox;
  for (int rate : {44100, 48000, 32000, 22050, 16000}) Rate->addItem(QStringLiteral("%1 Hz").arg(rate), rate);
  PlayDevice = new QComboBox;
  RecordDevice = new QComboBox;
  ListDevices(*PlayDevice, audio_->System(), Direction::Output);
  ListDevices(*RecordDevice, audio_->System(), Direction::Input);
  QObject::connect(Stimulus, &QComboBox::currentIndexChanged, this, [this](int i) {
    Seconds->setEnabled(i == 0);
    Averages->setValue(i == 0 ? 1 : 8);
    Averages->setMinimum(i == 0 ? 1 : 2);
  });

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Stimulus"), Stimulus);
  form->addRow(QStringLiteral("Sweep length"), Seconds);
  form->addRow(QStringLiteral("Level"), Level);
  form->addRow(QStringLiteral("From"), FromHz);
  form->addRow(QStringLiteral("To"), ToHz);
  form->addRow(QStringLiteral("Averages"), Averages);
  form->addRow(QStringLiteral("Rate"), Rate);
  form->addRow(QStringLiteral("Output"), PlayDevice);
  form->addRow(QStringLiteral("Input"), RecordDevice);

  BtnStart = new QPushButton(QStringLiteral("Start"));
  BtnExport = new QPushButton(QStringLiteral("Export…"));
  BtnExport->setEnabled(false);
  Progress = new QProgressBar;
  Progress->setRange(0, 100);
  Progress->setValue(0);
  Summary = new QLabel(QStringLiteral("Not measured yet"));
  Summary->setWordWrap(true);
  Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QObject::connect(BtnStart, &QPushButton::clicked, this, [this] { StartClick(); });
  QObject::connect(BtnExport, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Export the measurement into"));
    if (!dir.isEmpty()) ExportTo(dir);
  });

  auto* side = new QVBoxLayout;
  side->addLayout(form);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnStart);
  buttons->addWidget(BtnExport);
  side->addLayout(buttons);
  side->addWidget(Progress);
  side->addWidget(Summary);
  side->addStretch();

  Magnitude = new Plot(QStringLiteral("Magnitude"), QStringLiteral("Hz"), QStringLiteral("dB"), true);
  Phase = new Plot(QStringLiteral("Phase, delay removed"), QStringLiteral("Hz"), QStringLiteral("°"), true);
  Phase->setYRange(-180, 180);
  Impulse = new Plot(QStringLiteral("Impulse response"), QStringLiteral("ms"), QStringLiteral("FS"), false);
  Distortion =
      new Plot(QStringLiteral("Harmonics re the fundamental"), QStringLiteral("Hz"), QStringLiteral("dB"), true);
  auto* plots = new QGridLayout;
  plots->addWidget(Magnitude, 0, 0);
  plots->addWidget(Phase, 0, 1);
  plots->addWidget(Impulse, 1, 0);
  plots->addWidget(Distortion, 1, 1);

  auto* all = new QHBoxLayout(this);
  all->addLayout(side);
  all->addLayout(plots, 1);

  measurement_->OnProgress = [this](double f) { Progress->setValue(static_cast<int>(std::lround(f * 100))); };
  measurement_->OnFinished = [this] { Finished(); };
  resize(1100, 640);
}

MeasureWindow::~MeasureWindow() {
  measurement_->OnFinished = nullptr;
  measurement_->Stop();
}

measure::Settings MeasureWindow::Settings() const {
  measure::Settings s;
  s.kind = Stimulus->currentIndex() == 0 ? measure::Settings::Kind::Sweep : measure::Settings::Kind::Noise;
  s.seconds = Seconds->value();
  s.levelDbfs = Level->value();
  s.fromHz = FromHz->value();
  s.toHz = ToHz->value();
  s.averages = Averages->value();
  s.rate = static_cast<unsigned>(Rate->currentData().toInt());
  return s;
}

void MeasureWindow::StartClick() {
  if (measurement_->Running()) {
    measurement_->Stop();
    return;
  }
  const measure::Settings s = Settings();
  // The same rules as the command line's.
  QString wrong;
  if (s.toHz > 0.48 * s.rate)
    wrong = QStringLiteral("The band must end below %1 Hz at this rate.").arg(0.48 * s.rate, 0, 'f', 0);
  else if (s.fromHz * 2 > s.toHz)
    wrong = QStringLiteral("The band needs an octave at least.");
  else if (s.kind == measure::Settings::Kind::Noise && s.fromHz < 20)
    wrong = QStringLiteral("Noise starts at 10 Hz: the band must start at 20 Hz or above.");
  if (!wrong.isEmpty()) {
    Summary->setText(wrong);
    return;
  }
  Progress->setValue(0);
  Summary->setText(QStringLiteral("Measuring…"));
  BtnExport->setEnabled(false);
  if (!measurement_->Start(s, PlayDevice->currentData().toInt(), RecordDevice->currentData().toInt())) {
    Summary->setText(QString::fromStdString("Could not start: " + measurement_->Why()));
    return;
  }
  BtnStart->setText(QStringLiteral("Stop"));
}

void MeasureWindow::Finished() {
  BtnStart->setText(QStringLiteral("Start"));
  if (!measurement_->Succeeded()) {
    Summary->setText(QString::fromStdString(measurement_->Why() == "stopped" ? std::string("Stopped.")
                                                                             : "Not measured: " + measurement_->Why()));
    return;
  }
  Show(measurement_->Result());
  BtnExport->setEnabled(true);
}

void MeasureWindow::Show(const measure::Result& r) {
  using measure::Figure;
  QString text =
      QString::fromStdString("Delay " + Figure(r.delaySamples, 2) + " samples (" + Figure(r.delayMs, 3) + " ms)\nSNR " +
                             Figure(r.snrDb, 1) + " dB\nDrift " + Figure(r.driftPpm, 1) + " ppm");
  if (r.clippedSamples > 0) text += QStringLiteral("\nThe input clipped: lower the level.");
  Summary->setText(text);

  Plot::Series magnitude{QString(), QColor(20, 90, 200), {}, {}}, phase{QString(), QColor(200, 90, 20), {}, {}};
  for (const measure::ResponsePoint& p : r.response) {
    magnitude.x.push_back(p.hz);
    magnitude.y.push_back(p.magnitudeDb);
    phase.x.push_back(p.hz);
    phase.y.push_back(p.phaseDeg);
  }
  Magnitude->setSeries({magnitude});
  Phase->setSeries({phase});

  // The response's start: to 20 ms after its arrival (the files hold all).
  const std::size_t shown =
      std::min(r.impulse.size(), static_cast<std::size_t>(std::max(0.0, r.delaySamples) + 0.02 * r.rate));
  Plot::Series impulse{QString(), QColor(30, 140, 60), {}, {}};
  for (std::size_t i = 0; i < shown; ++i) {
    impulse.x.push_back(static_cast<double>(i) / r.rate * 1000);
    impulse.y.push_back(r.impulse[i]);
  }
  Impulse->setSeries({impulse});

  const QColor colours[4] = {QColor(200, 40, 40), QColor(40, 40, 200), QColor(40, 150, 40), QColor(150, 40, 150)};
  std::vector<Plot::Series> harmonics;
  for (int k = 0; k < 4; ++k) {
    Plot::Series s{QStringLiteral("H%1").arg(k + 2), colours[k], {}, {}};
    for (const measure::DistortionPoint& d : r.distortion) {
      s.x.push_back(d.hz);
      s.y.push_back(d.harmonicDb[k]);
    }
    harmonics.push_back(std::move(s));
  }
  Distortion->setSeries(std::move(harmonics));
}

bool MeasureWindow::ExportTo(const QString& dir) {
  std::string why;
  if (measure::WriteResultFiles(measurement_->Result(), dir.toStdString(), why)) return true;
  QMessageBox::warning(this, QStringLiteral("Export"), QString::fromStdString("Not exported: " + why));
  return false;
}

// Closing stops a measurement under way: nothing plays on unseen.
void MeasureWindow::closeEvent(QCloseEvent* event) {
  measurement_->Stop();
  event->accept();
}

}  // namespace app
