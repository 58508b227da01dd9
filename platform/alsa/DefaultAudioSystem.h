// The audio system that programs use unless told otherwise: ALSA.
#pragma once

#include <memory>

#include "platform/AudioSystem.h"

namespace platform {

std::unique_ptr<AudioSystem> CreateDefaultAudioSystem();

}  // namespace platform
