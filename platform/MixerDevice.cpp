#include "platform/MixerDevice.h"

#include "platform/Messages.h"
#include "platform/NotifyWindow.h"

namespace platform {

void MixerDevice::start(HWND window, HMIXER handle) {
  handle_ = handle;
  window_.store(window, std::memory_order_release);
  startWatching();
}

void MixerDevice::stop() { window_.store(nullptr, std::memory_order_release); }

void MixerDevice::controlChanged(DWORD controlId) noexcept {
  if (HWND w = window_.load(std::memory_order_acquire))
    PostMessage(w, MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(handle_), static_cast<LPARAM>(controlId));
}

}  // namespace platform
