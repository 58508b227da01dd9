// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A list of the wave devices of one direction, as the tools number them
// (-1 the system's default first), for the Generator and Measure windows.
#pragma once

#include <QComboBox>

namespace platform {
class AudioSystem;
}

namespace app {

enum class Direction { Input, Output };

// Fills `box` with the devices; each item's data is its number.
void ListDevices(QComboBox& box, platform::AudioSystem& system, Direction direction);

}  // namespace app
