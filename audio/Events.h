// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Event types of the audio component. An event is a bound callable; it
// counts as assigned when it holds a target. Calling an assigned event does
// not allocate, so OnRecord may be fired on the audio thread.
#pragma once

#include <functional>

#include "audio/Object.h"
#include "platform/Types.h"

namespace audio {

// OnRecord: Sender, left (or interleaved) samples, right samples or null,
// byte count of each. LP and RP are valid only until the handler returns.
// Fired on the wave-input device's thread: the handler must not allocate,
// lock, wait on the GUI thread or do I/O.
using TNotifyAudioRecordEvent = std::function<void(TObject* Sender, void* LP, void* RP, platform::WORD BufferSize)>;
using TNotifyBufferPlayedEvent = std::function<void(TObject* Sender)>;
using TNotifyPlayedEvent = std::function<void(TObject* Sender)>;
using TNotifyMixerChange = std::function<void(TObject* Sender, platform::WORD Destination, platform::WORD Source)>;

}  // namespace audio
