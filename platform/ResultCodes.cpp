// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ResultCodes.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::string_view ResultText(MMRESULT code) {
  switch (code) {
    case MMSYSERR_NOERROR:
      return "The command completed successfully.";
    case MMSYSERR_ERROR:
      return "An unspecified error occurred in the device.";
    case MMSYSERR_BADDEVICEID:
      return "There is no device with this number.";
    case MMSYSERR_NOTENABLED:
      return "The device is not enabled.";
    case MMSYSERR_ALLOCATED:
      return "The device is already in use by another program.";
    case MMSYSERR_INVALHANDLE:
      return "The device handle is not valid.";
    case MMSYSERR_NODRIVER:
      return "The device is not available; it may have been removed.";
    case MMSYSERR_NOMEM:
      return "There is not enough memory for the device.";
    case MMSYSERR_NOTSUPPORTED:
      return "The device does not support this operation.";
    case MMSYSERR_BADERRNUM:
      return "The error number is not known.";
    case MMSYSERR_INVALFLAG:
      return "An invalid flag was passed to the device.";
    case MMSYSERR_INVALPARAM:
      return "An invalid parameter was passed to the device.";
    case MMSYSERR_HANDLEBUSY:
      return "The device handle is in use by another thread.";
    case MMSYSERR_NODRIVERCB:
      return "The device gave no callback for this operation.";
    case WAVERR_BADFORMAT:
      return "The device does not support this wave format.";
    case WAVERR_STILLPLAYING:
      return "A buffer is still with the device.";
    case WAVERR_UNPREPARED:
      return "The wave header has not been prepared.";
    case WAVERR_SYNC:
      return "The device is synchronous.";
    case MIXERR_INVALLINE:
      return "The mixer line is not valid.";
    case MIXERR_INVALCONTROL:
      return "The mixer control is not valid.";
    case MIXERR_INVALVALUE:
      return "The mixer control value is out of range.";
    default:
      return {};
  }
}

MMRESULT CopyErrorText(std::string_view text, char* buffer, UINT cch) {
  if (buffer == nullptr || cch == 0) return MMSYSERR_INVALPARAM;
  const std::size_t n = std::min<std::size_t>(text.size(), cch - 1);
  if (n > 0) std::memcpy(buffer, text.data(), n);  // an empty view may have no data pointer
  buffer[n] = '\0';
  return MMSYSERR_NOERROR;
}

}  // namespace platform
