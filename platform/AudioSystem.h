// The sound devices as the audio component sees them: the calls of the
// multimedia API it was written against, with their names, arguments and
// result codes. Back-ends: ALSA (real devices, the default) and a simulated
// device for tests. Both keep the device rules below, and both take their
// header-queue and thread handling from WaveInDevice.
//
// Threads. Every call may come from any thread, but the calls on one device
// come from one thread at a time (in this system, the GUI thread). The
// wave-input callback runs on the device's own thread.
//
// Wave input, opened with CALLBACK_FUNCTION:
// - waveInOpen delivers MM_WIM_OPEN to the callback before it returns, and
//   waveInClose delivers MM_WIM_CLOSE before it returns; no callback follows.
// - Every buffer queued with waveInAddBuffer comes back once through
//   MM_WIM_DATA (dwParam1: its header), in queue order, with WHDR_DONE set
//   and dwBytesRecorded filled in.
// - waveInReset stops capture and returns only when every queued buffer has
//   come back, partly filled ones with what they hold.
// - waveInClose is refused with WAVERR_STILLPLAYING while buffers are queued.
// - The callback must not call the device, allocate, lock, wait or do I/O;
//   it hands work to the owner's thread by posting (PostMessage).
// Result codes: ResultCodes.h; every code has a text (waveInGetErrorTextA),
// to which a back-end may add its own reason for the latest failure.
//
// Wave output, opened with CALLBACK_WINDOW (or CALLBACK_FUNCTION):
// - MM_WOM_OPEN is posted before waveOutOpen returns, MM_WOM_CLOSE before
//   waveOutClose returns; nothing is posted after it.
// - Every header written with waveOutWrite comes back once with MM_WOM_DONE
//   (lParam: its header), in write order, WHDR_DONE set, once its data is
//   with the device.
// - waveOutReset throws away what is not played and returns only when every
//   written header has come back.
// - waveOutClose lets what the device holds play out; it is refused with
//   WAVERR_STILLPLAYING while headers are queued.
//
// Forced close (waveInForceClose, waveOutForceClose): the last resort of an
// owner that is going away while its device stays open because a reset,
// unprepare or close was refused. The device stops at once, whatever its
// buffers' state, and lets go of them; its close notification is the last
// one, delivered (input) or posted (output) before the call returns. It
// cannot fail; a handle that is not open is left alone.
//
// Mixers (MixerDevice.h says how lines and controls are numbered):
// - mixerOpen with CALLBACK_WINDOW posts MM_MIXM_CONTROL_CHANGE (wParam: the
//   handle, lParam: the control ID) to the window whenever a control
//   changes, from whoever changed it; nothing is posted once mixerClose has
//   returned.
// - Records are passed with cbStruct (and cbmxctrl, cbDetails) set to their
//   sizeof; any other size is refused with MMSYSERR_INVALPARAM.
//
// Device numbers: WAVE_MAPPER (-1) is the system's default device; 0, 1, ...
// are the devices a user would recognise, in a stable order.
#pragma once

#include "platform/MixerTypes.h"
#include "platform/Types.h"

namespace platform {

inline constexpr UINT MAXPNAMELEN = 128;

// What a wave-input device is; the name is longer than the 32 characters of
// the older platform so that sound-card names are not cut.
struct WAVEINCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  char szPname[MAXPNAMELEN];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
};

// What a wave-output device is.
struct WAVEOUTCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  char szPname[MAXPNAMELEN];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
  DWORD dwSupport;
};

class AudioSystem {
 public:
  virtual ~AudioSystem() = default;

  virtual UINT waveInGetNumDevs() = 0;
  virtual UINT waveOutGetNumDevs() = 0;

  virtual MMRESULT waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) = 0;
  virtual MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                              DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveInStart(HWAVEIN handle) = 0;
  virtual MMRESULT waveInStop(HWAVEIN handle) = 0;
  virtual MMRESULT waveInReset(HWAVEIN handle) = 0;
  virtual MMRESULT waveInClose(HWAVEIN handle) = 0;
  virtual void waveInForceClose(HWAVEIN handle) = 0;
  // The text for a code, at most cch - 1 characters; MMSYSERR_BADERRNUM for
  // a code without one.
  virtual MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) = 0;

  virtual MMRESULT waveOutGetDevCapsA(UINT deviceId, WAVEOUTCAPSA* caps, UINT size) = 0;
  virtual MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                               DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveOutReset(HWAVEOUT handle) = 0;
  virtual MMRESULT waveOutClose(HWAVEOUT handle) = 0;
  virtual void waveOutForceClose(HWAVEOUT handle) = 0;
  virtual MMRESULT waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) = 0;

  virtual UINT mixerGetNumDevs() = 0;
  virtual MMRESULT mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) = 0;
  virtual MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                             DWORD flags) = 0;
  virtual MMRESULT mixerGetLineInfoA(HMIXER handle, MIXERLINEA* line, DWORD flags) = 0;
  virtual MMRESULT mixerGetLineControlsA(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
  virtual MMRESULT mixerGetControlDetailsA(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
  virtual MMRESULT mixerClose(HMIXER handle) = 0;
};

}  // namespace platform
