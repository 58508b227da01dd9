// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/MixerDevice.h"

#include "platform/Messages.h"
#include "platform/NotifyWindow.h"

namespace platform {

bool MixerDevice::start(HWND window, HMIXER handle) {
  handle_ = handle;
  window_ = window;
  return startWatching();
}

void MixerDevice::controlChanged(DWORD controlId) noexcept {
  if (window_ == nullptr || !fence_.enter()) return;
  PostMessage(window_, MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(handle_), static_cast<LPARAM>(controlId));
  fence_.leave();
}

}  // namespace platform
