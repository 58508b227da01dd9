// The machine's sound system: the back-end a component uses unless it is
// given another.
#pragma once

#include <memory>

#include "platform/AudioSystem.h"

namespace platform {

std::unique_ptr<AudioSystem> CreateDefaultAudioSystem();

}  // namespace platform
