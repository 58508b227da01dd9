// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The input window, opened from the strip's menu or its level meter: which
// capture device the recorder uses (AudioDeviceID) and a choice of another,
// and a live meter of the input's level.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "app/InputLevels.h"
#include "app/LevelMeter.h"

namespace platform {
class AudioSystem;
}

namespace app {

class InputWindow : public QWidget {
 public:
  InputWindow(platform::AudioSystem& system, const InputLevels& levels, QWidget* parent = nullptr);

  // Lists the devices again and marks `device` (-1: the system's default)
  // as chosen; capturing: whether the recorder has it open now.
  void ShowDevice(std::int32_t device, bool capturing);
  // Called with the device a user picked.
  std::function<void(std::int32_t)> OnChoose;

  QComboBox* Devices = nullptr;
  QLabel* InUse = nullptr;
  LevelMeter* Meter = nullptr;

  // The name of a device as the system gives it; the default input is
  // named as such, with the name of the device it stands for.
  static QString DeviceName(platform::AudioSystem& system, std::int32_t device);

 private:
  platform::AudioSystem& system_;
  bool listing_ = false;
};

}  // namespace app
