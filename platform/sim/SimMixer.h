// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated mixer: a device described by the test (lines, controls and
// their values), whose values the test may change at any time, firing the
// control-change notification as a real mixer does when a user moves a
// slider.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/MixerDevice.h"

namespace platform::sim {

// One scripted mixer device: its description and every control's values
// (one per channel; a control missing here cannot be read).
struct SimMixerScript {
  MixerDescription description;
  std::map<DWORD, std::vector<DWORD>> values;
};

class SimMixer final : public MixerDevice {
 public:
  // `script` (that of mixer `device`) is shared with the system, so a value
  // the test changes later is what the next read finds.
  SimMixer(std::shared_ptr<SimMixerScript> script, UINT device);

  MMRESULT readValues(DWORD controlId, DWORD channels, DWORD* values) override;
  // Posts the change of a control, as the back-end's event thread would.
  void fire(DWORD controlId) noexcept { controlChanged(controlId); }
  UINT device() const noexcept { return device_; }

 private:
  std::shared_ptr<SimMixerScript> script_;
  const UINT device_;
};

}  // namespace platform::sim
