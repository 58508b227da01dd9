// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound devices as the audio component sees them: the calls of the
// multimedia API it was written against, with their names, arguments and
// result codes. This header is the contract between the component and every
// back-end (ALSA for real devices, the default; a simulated device for
// tests): what each call returns, which thread may make it, and which
// notifications follow. DeviceAudioSystem implements the calls once over
// WaveDevice (thread, header queue, notifications) and MixerDevice, so a
// back-end that derives from it keeps these rules by construction and only
// supplies its devices; its CaptureSource, PlaybackSink and MixerDevice say
// what each of those must do.
//
// Threads. The calls are not synchronised with each other: they come from
// one thread at a time (in this system, the GUI thread; a test may hand a
// system to another thread once the first is done with it). A device's own
// thread never calls the system, but for the device's own stamp from inside
// its notification (waveInGetStamp). With CALLBACK_FUNCTION the notifications
// of a wave device run on that device's thread; with CALLBACK_WINDOW they
// are posted (PostMessage) and handled on the window's thread.
//
// A callback function must not call the device, allocate, lock, wait or do
// I/O; it hands work to its owner's thread by posting to a window.
//
// Result codes (ResultCodes.h): 0 is success. Every call on a handle
// answers MMSYSERR_INVALHANDLE for one that is not open. Every code has a
// text (waveInGetErrorTextA); a back-end may add its reason for the latest
// failure of that code, in parentheses ("... (snd_pcm_open(hw:1,0): Device
// or resource busy)"); every failure a call other than the text calls
// returns replaces that reason (with none where there is none).
//
// Records are passed with their sizeof (size, cbStruct, cbmxctrl,
// cbDetails); any other size is refused with MMSYSERR_INVALPARAM.
//
// Device numbers: WAVE_MAPPER (-1) is the system's default device; 0, 1, ...
// are the devices a user would recognise, in a stable order.
//
// The header queue, the same for both directions:
// - a header is prepared before it is queued (else WAVERR_UNPREPARED) and
//   is back before it is unprepared or prepared again (else
//   WAVERR_STILLPLAYING); a header queued twice is refused with
//   WAVERR_STILLPLAYING;
// - a null header, a wrong size, a null buffer or (when queued) an empty one
//   is refused with MMSYSERR_INVALPARAM; at most 64 headers are queued at
//   once, the next is refused with MMSYSERR_NOMEM;
// - a queued header comes back exactly once, in queue order, with WHDR_DONE
//   set and WHDR_INQUEUE cleared, and its owner may touch it again only
//   then (its flags are read and written through LoadHeaderFlags and
//   StoreHeaderFlags, which order the hand-over).
//
// Device loss. A device that disappears (a card unplugged, the sound server
// gone, or no frames moving for several seconds) is an error, not a hang:
// every queued header comes back (input: with what it holds) as soon as
// the loss is known, whatever stopping the stream then does, and from then
// on every call on it but reset, unprepare and close reports the failure's
// code, whose text carries the back-end's reason. Its owner lets go of it
// as of any other device.
//
// Forced close (waveInForceClose, waveOutForceClose): the last resort of an
// owner that is going away while its device stays open because a reset,
// unprepare or close was refused. The device stops at once, whatever its
// buffers' state, and lets go of them; nothing written plays out. Its close
// notification is the last one, delivered (input) or posted (output) before
// the call returns. It cannot fail; a handle that is not open is left
// alone.
//
// Devices that do not answer. A device call never blocks its caller for
// long because a device, or the sound server behind it, does not answer: a
// call that waits for the device (an open, mixerGetDevCapsA,
// mixerGetControlDetailsA, waveInStop, a reset, a close, mixerClose) waits
// kDeviceAnswerLimit at most. Past it:
// - an open (or mixerGetDevCapsA) fails with MMSYSERR_NODRIVER, its text
//   saying that the device did not answer; what opens later is closed
//   again in the background. Until it has come back, the next open of its
//   kind (wave input, wave output, mixer) fails at once the same way: at
//   most one open of each kind waits on a server that does not answer;
// - a wave device is abandoned: it is lost (see above) with that reason,
//   every queued header is back with its done notification, sent (or, with
//   CALLBACK_FUNCTION, called) from the caller's thread, and from then on the
//   device touches no header or buffer and sends nothing. A reset still
//   succeeds, waveInStop reports the loss; its close succeeds at once, the
//   close notification coming from the closing thread, and the handle is
//   free. Whenever it was given up on, the device lets go of its stream on
//   its own thread as soon as the stream answers; a process that ends
//   meanwhile is not held up by it;
// - a mixer read fails with MMSYSERR_NODRIVER and that text; until it has
//   come back, the mixer's next read fails at once the same way;
// - mixerClose succeeds; no notification follows it, and the mixer is
//   finished in the background.
// devicesAbandoned() counts each open, device and mixer given up on, from
// that moment on. A waveOutClose whose device still has written frames to
// play out (and has not failed) waits for them kPlayOutLimit more; what
// does not play out by then plays on in the background.
//
// A call that cannot start a thread it needs (the open's, the device's)
// fails with MMSYSERR_NOMEM, its text saying so; nothing is thrown.
//
// Mixers. A mixer whose sound server runs but does not answer keeps its
// number: it fails as above, and no other mixer answers in its place. Line
// IDs: destination d has ID d; source s of destination d has
// ID ((s + 1) << 16) | d. Control IDs are the back-end's, unique within the
// device and stable while it stays as it is; none is 65535 (the component's
// "no control"). Volumes run 0 ... 65535, mutes are 0 (sound) or 1 (muted),
// peak meters 0 ... 32767.
#pragma once

#include <chrono>

#include <cstdint>

#include "platform/MixerTypes.h"
#include "platform/ResultCodes.h"
#include "platform/Types.h"

namespace platform {

inline constexpr UINT MAXPNAMELEN = 128;

// How long a device call waits for a device that does not answer (above).
// Sanitizer builds run several times slower, a device's first open most of
// all (plugins loaded, a server's stream set up): their bound is longer, so
// that a slow answer is not taken for none.
#if defined(__SANITIZE_THREAD__)
inline constexpr std::chrono::milliseconds kDeviceAnswerLimit{2000};
#elif defined(__SANITIZE_ADDRESS__)
inline constexpr std::chrono::milliseconds kDeviceAnswerLimit{800};
#else
inline constexpr std::chrono::milliseconds kDeviceAnswerLimit{400};
#endif
// How much longer waveOutClose waits while the device plays out (above).
inline constexpr std::chrono::milliseconds kPlayOutLimit{1500};

// Where a wave device's stream stood at one moment: `frames` frames since
// it opened had passed its converter (captured, or played out) at
// `nanoseconds` on the back-end's clock (CLOCK_MONOTONIC; the simulated
// device's own). Two devices' stamps relate their streams: a measurement
// finds where in its capture the first frame it played would stand.
struct WAVESTAMP {
  std::uint64_t frames = 0;
  std::int64_t nanoseconds = 0;
};

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

  // --- Wave input -----------------------------------------------------------

  // The number of input devices; 0 when there is none or they cannot be
  // listed.
  virtual UINT waveInGetNumDevs() = 0;
  // Names device `deviceId` (WAVE_MAPPER: the default one) and the formats
  // it takes. MMSYSERR_INVALPARAM: no record or a wrong size;
  // MMSYSERR_BADDEVICEID: no such device.
  virtual MMRESULT waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) = 0;
  // Opens device `deviceId` (WAVE_MAPPER: the default one) for `format`:
  // PCM, 1 or 2 channels, 8 or 16 bits, a rate above 0, nBlockAlign and
  // nAvgBytesPerSec to match. flags: CALLBACK_FUNCTION (callback: a
  // WaveInProc, called with `instance`), CALLBACK_WINDOW (callback: an HWND)
  // or CALLBACK_NULL; with WAVE_FORMAT_QUERY it only checks, opens nothing
  // and needs no handle. MM_WIM_OPEN has been delivered (or posted) when it
  // returns.
  // MMSYSERR_INVALPARAM: no handle, no format, or a callback type without a
  // callback; MMSYSERR_INVALFLAG: another callback type;
  // MMSYSERR_BADDEVICEID; WAVERR_BADFORMAT; or what the device answered
  // (MMSYSERR_ALLOCATED: in use; MMSYSERR_NODRIVER: gone; ...).
  virtual MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                              DWORD_PTR instance, DWORD flags) = 0;
  // The header-queue rules above give their codes.
  virtual MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
  // Queues a buffer to be filled; dwBytesRecorded is set to 0 now and says
  // what it holds when it comes back with MM_WIM_DATA (dwParam1: the
  // header), on the device thread, when it is full (a simulated device may
  // end one early), or with what it holds on waveInStop, waveInReset or a
  // device loss.
  virtual MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) = 0;
  // Begins capturing into the queued buffers, or goes on after a stop.
  virtual MMRESULT waveInStart(HWAVEIN handle) = 0;
  // Stops capturing: the buffer being filled comes back with what it holds
  // before it returns; empty buffers stay queued for the next start.
  virtual MMRESULT waveInStop(HWAVEIN handle) = 0;
  // Stops capturing and returns only when every queued buffer has come back
  // (partly filled ones with what they hold). Also on a lost device.
  virtual MMRESULT waveInReset(HWAVEIN handle) = 0;
  // Closes the device; MM_WIM_CLOSE has been delivered (or posted) when it
  // returns, and no notification follows it. WAVERR_STILLPLAYING while
  // buffers are queued.
  virtual MMRESULT waveInClose(HWAVEIN handle) = 0;
  // See "Forced close" above.
  virtual void waveInForceClose(HWAVEIN handle) = 0;
  // The text for a code, at most cch - 1 characters and terminated.
  // MMSYSERR_BADERRNUM (text empty): a code without one;
  // MMSYSERR_INVALPARAM: no buffer or cch 0.
  virtual MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) = 0;

  // The latest stamp of an open device. MMSYSERR_NOTSUPPORTED where the
  // back-end cannot tell (the default), or before the device has moved a
  // frame; MMSYSERR_INVALPARAM: no record. Also from the device's own thread
  // inside its notification, where it reads only what the device published.
  virtual MMRESULT waveInGetStamp(HWAVEIN, WAVESTAMP*) { return MMSYSERR_NOTSUPPORTED; }

  // --- Wave output ----------------------------------------------------------

  virtual UINT waveOutGetNumDevs() = 0;
  // As waveInGetDevCapsA, for output devices.
  virtual MMRESULT waveOutGetDevCapsA(UINT deviceId, WAVEOUTCAPSA* caps, UINT size) = 0;
  // As waveInOpen (the callback function a WaveOutProc); MM_WOM_OPEN has
  // been delivered or posted when it returns.
  virtual MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                               DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
  virtual MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
  // Queues a buffer to be played; it comes back with MM_WOM_DONE (lParam or
  // dwParam1: the header) once all its whole frames are with the device.
  // Playing begins with the first write.
  virtual MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) = 0;
  // Throws away what is not played yet and returns only when every written
  // header has come back. Also on a lost device.
  virtual MMRESULT waveOutReset(HWAVEOUT handle) = 0;
  // Lets what the device holds play out, then closes it; MM_WOM_CLOSE has
  // been delivered or posted when it returns, and nothing follows it.
  // WAVERR_STILLPLAYING while headers are queued.
  virtual MMRESULT waveOutClose(HWAVEOUT handle) = 0;
  // See "Forced close" above.
  virtual void waveOutForceClose(HWAVEOUT handle) = 0;
  // As waveInGetStamp.
  virtual MMRESULT waveOutGetStamp(HWAVEOUT, WAVESTAMP*) { return MMSYSERR_NOTSUPPORTED; }
  // As waveInGetErrorTextA; the texts and reasons are shared.
  virtual MMRESULT waveOutGetErrorTextA(MMRESULT code, char* text, UINT cch) = 0;

  // --- Mixers ---------------------------------------------------------------

  virtual UINT mixerGetNumDevs() = 0;
  // Names mixer `deviceId` and counts its destinations. MMSYSERR_INVALPARAM;
  // MMSYSERR_BADDEVICEID; or what the device answered when it was read.
  virtual MMRESULT mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) = 0;
  // Opens mixer `deviceId`, reading its lines and controls. With
  // CALLBACK_WINDOW, MM_MIXM_CONTROL_CHANGE (wParam: the handle, lParam: the
  // control ID) is posted to the window whenever a control changes, whoever
  // changed it, until mixerClose returns. MMSYSERR_INVALPARAM: no handle, or
  // no window with CALLBACK_WINDOW; MMSYSERR_INVALFLAG: a callback type but
  // CALLBACK_NULL and CALLBACK_WINDOW; MMSYSERR_BADDEVICEID; or what the
  // device answered.
  virtual MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) = 0;
  // Describes a line, found by destination (MIXER_GETLINEINFOF_DESTINATION),
  // by destination and source (..._SOURCE) or by line ID (..._LINEID).
  // MMSYSERR_INVALPARAM; MMSYSERR_INVALFLAG; MIXERR_INVALLINE: no such line.
  virtual MMRESULT mixerGetLineInfoA(HMIXER handle, MIXERLINEA* line, DWORD flags) = 0;
  // Describes the controls of a line: all of them (MIXER_GETLINECONTROLSF_ALL,
  // cControls the line's count), one by ID or the first of a type.
  // MMSYSERR_INVALPARAM; MMSYSERR_INVALFLAG; MIXERR_INVALLINE;
  // MIXERR_INVALCONTROL.
  virtual MMRESULT mixerGetLineControlsA(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
  // Reads a control's current values (MIXER_GETCONTROLDETAILSF_VALUE), one
  // for all channels (cChannels 1) or one per channel of its line, from the
  // hardware. MMSYSERR_INVALPARAM; MMSYSERR_INVALFLAG; MIXERR_INVALCONTROL:
  // no such control, or one that is gone; MMSYSERR_NODRIVER: the device is
  // gone or did not answer (above).
  virtual MMRESULT mixerGetControlDetailsA(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
  // Closes the mixer; no notification is posted once it has returned.
  virtual MMRESULT mixerClose(HMIXER handle) = 0;

  // --- Devices that do not answer -------------------------------------------

  // How many opens, devices and mixers this system has given up waiting for
  // (see above), each counted from the moment it was given up on, so that a
  // program can tell its user why something ended.
  virtual unsigned devicesAbandoned() const = 0;
};

}  // namespace platform
