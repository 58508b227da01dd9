// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sim/SimMixer.h"

#include "platform/ResultCodes.h"

namespace platform::sim {

SimMixer::SimMixer(std::shared_ptr<SimMixerScript> script, UINT device)
    : MixerDevice(script->description), script_(std::move(script)), device_(device) {}

MMRESULT SimMixer::readValues(DWORD controlId, DWORD channels, DWORD* values) {
  const auto it = script_->values.find(controlId);
  if (it == script_->values.end() || it->second.empty()) return MIXERR_INVALCONTROL;
  // One channel asked for: the first value; more: one each, the last value
  // repeated where the script gives fewer.
  for (DWORD c = 0; c < channels; ++c) values[c] = it->second[std::min<std::size_t>(c, it->second.size() - 1)];
  return MMSYSERR_NOERROR;
}

}  // namespace platform::sim
