// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/DeviceChoice.h"

#include "platform/AudioSystem.h"

namespace app {

void ListDevices(QComboBox& box, platform::AudioSystem& system, Direction direction) {
  box.clear();
  const bool in = direction == Direction::Input;
  auto name = [&](platform::UINT id, QString& out) {
    if (in) {
      platform::WAVEINCAPSA caps{};
      if (system.waveInGetDevCapsA(id, &caps, sizeof caps) != 0) return false;
      out = QString::fromLocal8Bit(caps.szPname);
    } else {
      platform::WAVEOUTCAPSA caps{};
      if (system.waveOutGetDevCapsA(id, &caps, sizeof caps) != 0) return false;
      out = QString::fromLocal8Bit(caps.szPname);
    }
    return true;
  };
  QString text;
  if (name(platform::WAVE_MAPPER, text)) box.addItem(text, -1);
  const platform::UINT count = in ? system.waveInGetNumDevs() : system.waveOutGetNumDevs();
  for (platform::UINT i = 0; i < count; ++i)
    if (name(i, text)) box.addItem(QStringLiteral("%1: %2").arg(i).arg(text), static_cast<int>(i));
}

}  // namespace app
