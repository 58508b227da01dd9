// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The mixer records and constants, with the fields and meanings of the
// multimedia API the audio component was written against. Callers pass
// sizeof of each record in its cbStruct; the platform layer refuses any
// other size with MMSYSERR_INVALPARAM.
#pragma once

#include "platform/Types.h"

namespace platform {

inline constexpr UINT MIXER_SHORT_NAME_CHARS = 16;
inline constexpr UINT MIXER_LONG_NAME_CHARS = 64;
// Long enough for sound-card names, as for the wave devices.
inline constexpr UINT MIXER_PNAME_CHARS = 128;

struct MIXERCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  char szPname[MIXER_PNAME_CHARS];
  DWORD fdwSupport;
  DWORD cDestinations;
};

struct MIXERLINEA {
  DWORD cbStruct;
  DWORD dwDestination;
  DWORD dwSource;
  DWORD dwLineID;
  DWORD fdwLine;
  DWORD_PTR dwUser;
  DWORD dwComponentType;
  DWORD cChannels;
  DWORD cConnections;
  DWORD cControls;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  struct {
    DWORD dwType;
    DWORD dwDeviceID;
    WORD wMid;
    WORD wPid;
    UINT vDriverVersion;
    char szPname[MIXER_PNAME_CHARS];
  } Target;
};

struct MIXERCONTROLA {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD dwControlType;
  DWORD fdwControl;
  DWORD cMultipleItems;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  struct {
    DWORD dwMinimum;
    DWORD dwMaximum;
    DWORD dwReserved[4];
  } Bounds;
  struct {
    DWORD cSteps;
    DWORD dwReserved[5];
  } Metrics;
};

struct MIXERLINECONTROLSA {
  DWORD cbStruct;
  DWORD dwLineID;
  union {
    DWORD dwControlID;    // MIXER_GETLINECONTROLSF_ONEBYID
    DWORD dwControlType;  // MIXER_GETLINECONTROLSF_ONEBYTYPE
  };
  DWORD cControls;
  DWORD cbmxctrl;  // sizeof(MIXERCONTROLA)
  MIXERCONTROLA* pamxctrl;
};

struct MIXERCONTROLDETAILS {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD cChannels;
  DWORD cMultipleItems;
  DWORD cbDetails;  // bytes of one value: 4
  void* paDetails;  // cChannels values
};

// One value of a volume control (0 ... 65535) or a mute (0 or 1).
struct MIXERCONTROLDETAILS_UNSIGNED {
  DWORD dwValue;
};

// mixerGetLineInfoA: which line.
inline constexpr DWORD MIXER_GETLINEINFOF_DESTINATION = 0x0;
inline constexpr DWORD MIXER_GETLINEINFOF_SOURCE = 0x1;
inline constexpr DWORD MIXER_GETLINEINFOF_LINEID = 0x2;
inline constexpr DWORD MIXER_GETLINEINFOF_QUERYMASK = 0xF;
// mixerGetLineControlsA: which controls.
inline constexpr DWORD MIXER_GETLINECONTROLSF_ALL = 0x0;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYID = 0x1;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYTYPE = 0x2;
inline constexpr DWORD MIXER_GETLINECONTROLSF_QUERYMASK = 0xF;
// mixerGetControlDetailsA: what to read.
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x0;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_QUERYMASK = 0xF;

// fdwLine.
inline constexpr DWORD MIXERLINE_LINEF_ACTIVE = 0x00000001;
inline constexpr DWORD MIXERLINE_LINEF_SOURCE = 0x80000000;

// dwComponentType.
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_UNDEFINED = 0x0000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_DIGITAL = 0x0001;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_LINE = 0x0002;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_MONITOR = 0x0003;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 0x0004;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_HEADPHONES = 0x0005;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 0x0007;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED = 0x1000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_DIGITAL = 0x1001;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_LINE = 0x1002;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC = 0x1005;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER = 0x1007;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY = 0x1009;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_ANALOG = 0x100A;

// dwControlType.
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
// fdwControl.
inline constexpr DWORD MIXERCONTROL_CONTROLF_UNIFORM = 0x1;

}  // namespace platform
