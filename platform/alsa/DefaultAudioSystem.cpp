// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/DefaultAudioSystem.h"

#include "platform/alsa/AlsaAudioSystem.h"

namespace platform {

std::unique_ptr<AudioSystem> CreateDefaultAudioSystem() { return std::make_unique<alsa::AlsaAudioSystem>(); }

}  // namespace platform
