// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One open mixer device as every back-end describes it: its lines and
// controls, read when it opens, and the controls' current values, read from
// the hardware on each call. The mixer calls are implemented once over this
// description (DeviceAudioSystem), so the simulated mixer answers as the
// real one; line and control numbering and the value ranges are those of
// AudioSystem.h.
//
// Notifications: a back-end that learns that a control changed calls
// controlChanged(), which posts MM_MIXM_CONTROL_CHANGE (wParam: the handle,
// lParam: the control ID) to the window given at open. silence() ends that
// before the device is closed: no post follows it. stop() then ends the
// back-end's watching, which may block while a sound server does not answer,
// so mixerClose runs it and the deletion within its bound (AudioSystem.h).
//
// Reads may block in a sound server too: the owner's reads run one at a
// time on threads of their own through reads(), and the device is deleted
// only once the last of them has come back.
#pragma once

#include <string>
#include <vector>

#include "platform/BoundedCall.h"
#include "platform/MixerTypes.h"
#include "platform/OwnerFence.h"
#include "platform/Types.h"

namespace platform {

struct MixerControlInfo {
  DWORD id = 0;
  DWORD type = 0;  // MIXERCONTROL_CONTROLTYPE_...
  std::string shortName;
  std::string name;
  DWORD minimum = 0;
  DWORD maximum = 65535;
  DWORD steps = 65536;
};

struct MixerLineInfo {
  DWORD componentType = MIXERLINE_COMPONENTTYPE_DST_UNDEFINED;
  DWORD channels = 2;
  std::string shortName;
  std::string name;
  bool active = true;
  std::vector<MixerControlInfo> controls;
};

struct MixerDestinationInfo {
  MixerLineInfo line;
  std::vector<MixerLineInfo> sources;
};

struct MixerDescription {
  std::string name;  // the product name, as in szPname
  std::vector<MixerDestinationInfo> destinations;
};

class MixerDevice {
 public:
  explicit MixerDevice(MixerDescription description) : description_(std::move(description)) {}
  virtual ~MixerDevice() = default;
  MixerDevice(const MixerDevice&) = delete;
  MixerDevice& operator=(const MixerDevice&) = delete;

  const MixerDescription& description() const noexcept { return description_; }

  // Reads `channels` values of a control of this device (channels is 1, or
  // the line's channel count) into values. Non-zero: the code the call
  // reports (MIXERR_INVALCONTROL for a control that is gone,
  // MMSYSERR_NODRIVER for a device that is gone). Runs in reads(), one call
  // at a time, as does failureDetail().
  virtual MMRESULT readValues(DWORD controlId, DWORD channels, DWORD* values) = 0;
  BoundedLane& reads() noexcept { return reads_; }

  // Begins posting notifications to `window` (null: none) for `handle`.
  // Called once, by mixerOpen, before the handle is handed out; false when
  // the back-end could not start watching (no thread).
  bool start(HWND window, HMIXER handle);
  // Ends notifications at once: when it returns, no post is made any more.
  void silence() noexcept { fence_.shut(); }
  // After silence(): the back-end stops watching (its event thread) here.
  virtual void stop() {}

  // The back-end's reason for its latest failure, for the error text.
  virtual std::string failureDetail() const { return {}; }

  static DWORD DestinationLineId(DWORD d) { return d; }
  static DWORD SourceLineId(DWORD d, DWORD s) { return ((s + 1) << 16) | d; }

 protected:
  // Any thread: posts the change of a control to the window, unless stopped.
  void controlChanged(DWORD controlId) noexcept;
  // Called by start() once the window is known; a back-end starts watching
  // its hardware here (false: it could not).
  virtual bool startWatching() { return true; }

 private:
  const MixerDescription description_;
  HWND window_ = nullptr;  // set before watching starts
  HMIXER handle_ = nullptr;
  OwnerFence fence_;
  BoundedLane reads_;
};

}  // namespace platform
