// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/InputWindow.h"

#include <QFormLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/AudioSystem.h"

namespace app {

namespace {
// AudioDeviceID keeps device numbers up to 9 (a larger one selects the default).
constexpr std::int32_t kHighestDevice = 9;
}  // namespace

QString InputWindow::DeviceName(platform::AudioSystem& system, std::int32_t device) {
  platform::WAVEINCAPSA caps{};
  const platform::UINT id = device < 0 ? platform::WAVE_MAPPER : platform::UINT(device);
  const bool named = system.waveInGetDevCapsA(id, &caps, sizeof caps) == 0 && caps.szPname[0] != '\0';
  const QString name = named ? QString::fromLocal8Bit(caps.szPname) : QStringLiteral("device %1").arg(device);
  return device < 0 ? QStringLiteral("Default input \u2014 %1").arg(name) : name;
}

InputWindow::InputWindow(platform::AudioSystem& system, const InputLevels& levels, QWidget* parent)
    : QWidget(parent, Qt::Window), system_(system) {
  setWindowTitle(QStringLiteral("Input"));
  setAttribute(Qt::WA_QuitOnClose, false);
  Devices = new QComboBox(this);
  Devices->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  InUse = new QLabel(this);
  InUse->setWordWrap(true);
  Meter = new LevelMeter(levels, true, this);
  Meter->setMinimumSize(Meter->sizeHint());
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Capture device"), Devices);
  form->addRow(QString(), InUse);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(Meter);
  QObject::connect(Devices, &QComboBox::activated, this, [this](int index) {
    if (!listing_ && OnChoose) OnChoose(Devices->itemData(index).toInt());
  });
}

void InputWindow::ShowDevice(std::int32_t device, bool capturing) {
  listing_ = true;
  Devices->clear();
  Devices->addItem(DeviceName(system_, -1), -1);
  const std::int32_t count = std::min<std::int32_t>(std::int32_t(system_.waveInGetNumDevs()), kHighestDevice + 1);
  for (std::int32_t i = 0; i < count; ++i)
    Devices->addItem(QStringLiteral("%1: %2").arg(i).arg(DeviceName(system_, i)), i);
  Devices->setCurrentIndex(std::max(0, Devices->findData(device)));
  listing_ = false;
  const QString name = Devices->currentText();
  InUse->setText(capturing ? QStringLiteral("Recording from this device now.")
                           : QStringLiteral("Not recording: Start records from this device."));
}

}  // namespace app
