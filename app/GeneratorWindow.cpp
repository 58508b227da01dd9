// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/GeneratorWindow.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QVBoxLayout>

#include "app/DeviceChoice.h"
#include "audio/GeneratedStream.h"
#include "audio/Player.h"
#include "measure/Noise.h"
#include "measure/Sweep.h"
#include "measure/Tone.h"

namespace app {

GeneratorWindow::GeneratorWindow(platform::AudioSystem* system, QWidget* parent)
    : QWidget(parent, Qt::Window), audio_(std::make_unique<audio::TAudio>(nullptr, system)) {
  setWindowTitle(QStringLiteral("Generator — Quorvel audio"));
  Waveform = new QComboBox;
  for (const char* name : {"Sine", "Square", "Tone burst (10 cycles on, 90 off)", "Logarithmic sweep", "Linear sweep",
                           "White noise", "Pink noise"})
    Waveform->addItem(QString::fromUtf8(name));
  auto number = [](double lo, double hi, double value, int decimals, const QString& suffix) {
    auto* box = new QDoubleSpinBox;
    box->setRange(lo, hi);
    box->setDecimals(decimals);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
  };
  Frequency = number(0.01, 32767, 1000, 2, QStringLiteral(" Hz"));
  ToFrequency = number(0.01, 32767, 20000, 2, QStringLiteral(" Hz"));
  Level = number(-150, 0, -20, 2, QStringLiteral(" dBFS"));
  Seconds = number(0, 86400, 0, 2, QStringLiteral(" s"));
  Seconds->setSpecialValueText(QStringLiteral("until stopped"));
  Rate = new QComboBox;
  for (int rate : {44100, 48000, 32000, 22050, 16000, 8000}) Rate->addItem(QStringLiteral("%1 Hz").arg(rate), rate);
  Device = new QComboBox;
  ListDevices(*Device, audio_->System(), Direction::Output);
  Dither = new QCheckBox(QStringLiteral("TPDF dither"));
  BtnPlay = new QPushButton(QStringLiteral("Play"));
  Status = new QLabel;
  Status->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Signal"), Waveform);
  form->addRow(QStringLiteral("Frequency"), Frequency);
  form->addRow(QStringLiteral("Sweep to"), ToFrequency);
  form->addRow(QStringLiteral("Level"), Level);
  form->addRow(QStringLiteral("Length"), Seconds);
  form->addRow(QStringLiteral("Rate"), Rate);
  form->addRow(QStringLiteral("Output"), Device);
  form->addRow(QString(), Dither);
  auto* all = new QVBoxLayout(this);
  all->addLayout(form);
  all->addWidget(BtnPlay);
  all->addWidget(Status);

  QObject::connect(Waveform, &QComboBox::currentIndexChanged, this, [this] { Fit(); });
  QObject::connect(BtnPlay, &QPushButton::clicked, this, [this] { PlayClick(); });
  audio_->OnPlayed = [this](audio::TObject*) {
    BtnPlay->setText(QStringLiteral("Play"));
    Status->setText(audio_->ErrorMessage.empty() ? QStringLiteral("Played.")
                                                 : QString::fromStdString("Stopped: " + audio_->ErrorMessage));
  };
  Fit();
}

GeneratorWindow::~GeneratorWindow() {
  audio_->OnPlayed = nullptr;
  if (audio_->Player->DeviceOpen) audio_->Player->Stop();
}

bool GeneratorWindow::Playing() const { return audio_->Player->DeviceOpen; }

// Only the fields the chosen signal uses can be changed.
void GeneratorWindow::Fit() {
  const int s = Waveform->currentIndex();
  Frequency->setEnabled(s != WhiteNoise && s != PinkNoise);
  ToFrequency->setEnabled(s == LogSweep || s == LinearSweep);
}

void GeneratorWindow::PlayClick() {
  audio::TPlayer& player = *audio_->Player;
  if (player.DeviceOpen) {
    player.Stop();
    return;
  }
  const auto rate = static_cast<unsigned>(Rate->currentData().toInt());
  const double hz = Frequency->value(), to = ToFrequency->value(), level = Level->value(), seconds = Seconds->value();
  const int s = Waveform->currentIndex();
  if ((s != WhiteNoise && s != PinkNoise && hz >= rate / 2.0) ||
      ((s == LogSweep || s == LinearSweep) && to >= rate / 2.0)) {
    Status->setText(QStringLiteral("Frequencies must stay below half the rate (%1 Hz).").arg(rate / 2));
    return;
  }
  if (s == LogSweep && hz >= to) {
    Status->setText(QStringLiteral("A logarithmic sweep runs upwards: its end must be above its start."));
    return;
  }
  std::unique_ptr<measure::Stimulus> stimulus;
  using measure::Tone;
  switch (s) {
    case Sine:
      stimulus = std::make_unique<Tone>(Tone::Shape::Sine, hz, level, rate, seconds);
      break;
    case Square:
      stimulus = std::make_unique<Tone>(Tone::Shape::Square, hz, level, rate, seconds);
      break;
    case Burst:
      stimulus = std::make_unique<Tone>(Tone::Shape::Burst, hz, level, rate, seconds);
      break;
    case LogSweep:
    case LinearSweep:
      stimulus = std::make_unique<measure::Sweep>(
          s == LogSweep ? measure::Sweep::Law::Exponential : measure::Sweep::Law::Linear, hz, to,
          seconds > 0 ? seconds : 10, level, rate);
      break;
    default:
      stimulus = std::make_unique<measure::Noise>(
          s == PinkNoise ? measure::Noise::Colour::Pink : measure::Noise::Colour::White, level, rate, seconds);
      break;
  }
  const QString name = QString::fromStdString(stimulus->describe());
  auto stream = std::make_unique<audio::TGeneratedStream>(std::move(stimulus), 1, Dither->isChecked());
  const bool endless = stream->endless();
  player.SetChannels(audio::TChannels::Mono);
  player.SetSampleRate(static_cast<platform::WORD>(rate));
  player.SetBitsPerSample(audio::TBPS::_16);
  audio_->ErrorMessage.clear();
  const int device = Device->currentData().toInt();
  if (!player.Play(std::move(stream), 0, endless ? 65535 : 0,
                   device < 0 ? platform::WAVE_MAPPER : static_cast<platform::UINT>(device))) {
    Status->setText(QString::fromStdString("Could not play: " + audio_->ErrorMessage));
    return;
  }
  BtnPlay->setText(QStringLiteral("Stop"));
  Status->setText(QStringLiteral("Playing ") + name + (endless ? QStringLiteral(" until stopped") : QString()));
}

void GeneratorWindow::closeEvent(QCloseEvent* event) {
  if (audio_->Player->DeviceOpen) audio_->Player->Stop();
  event->accept();
}

}  // namespace app
