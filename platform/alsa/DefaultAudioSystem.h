// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The audio system that programs use unless told otherwise: ALSA.
#pragma once

#include <memory>

#include "platform/AudioSystem.h"

namespace platform {

std::unique_ptr<AudioSystem> CreateDefaultAudioSystem();

}  // namespace platform
