// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Message numbers that devices and the session deliver to windows and
// callbacks.
#pragma once

#include "platform/Types.h"

namespace platform {

inline constexpr UINT WM_QUERYENDSESSION = 0x0011;

inline constexpr UINT MM_WOM_OPEN = 0x03BB;
inline constexpr UINT MM_WOM_CLOSE = 0x03BC;
inline constexpr UINT MM_WOM_DONE = 0x03BD;
inline constexpr UINT MM_WIM_OPEN = 0x03BE;
inline constexpr UINT MM_WIM_CLOSE = 0x03BF;
inline constexpr UINT MM_WIM_DATA = 0x03C0;

inline constexpr UINT MM_MIXM_LINE_CHANGE = 0x03D0;
inline constexpr UINT MM_MIXM_CONTROL_CHANGE = 0x03D1;

// Callback-function names of the same notifications.
inline constexpr UINT WIM_OPEN = MM_WIM_OPEN;
inline constexpr UINT WIM_CLOSE = MM_WIM_CLOSE;
inline constexpr UINT WIM_DATA = MM_WIM_DATA;

}  // namespace platform
