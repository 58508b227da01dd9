// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TPlayer: the wave-output half of the audio component. It owns its storage
// (through TAudioSettings), the stream it plays and two hidden windows, to
// which refill and close requests are posted so that they run one message
// after the device's notification, on the GUI thread.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "audio/AudioSettings.h"
#include "platform/MessageQueue.h"
#include "platform/Types.h"

class QIODevice;

namespace audio {

class TPlayer : public TAudioSettings {
 public:
  platform::HWAVEOUT WaveOutHandle = nullptr;
  platform::WORD LoopCount = 0;
  std::int32_t PlayPosition = 0;
  std::unique_ptr<QIODevice> Stream;
  bool RestoreFormat = false;
  TChannels SavedChannels = TChannels::Mono;
  TBPS SavedBitsPerSample = TBPS::_8;
  platform::WORD SavedSampleRate = 0;
  bool ClosePosted = false;
  platform::HWND RefillWindow = nullptr;
  platform::HWND CloseWindow = nullptr;

  TPlayer();
  ~TPlayer() override;

  // Starts playing `stream` (raw PCM in the player's current format) from
  // byte `position`, `loops` more times after the first pass, on wave-output
  // device `deviceId` (WAVE_MAPPER: the default). The player owns the stream
  // from now on, also when the start fails. True once the device is open and
  // the first buffers are written; false with the reason in the owner's
  // ErrorMessage. OnPlayed fires when the data has been played (at once for
  // an empty stream).
  bool Play(std::unique_ptr<QIODevice> stream, std::int32_t position = 0, platform::WORD loops = 0,
            platform::UINT deviceId = platform::WAVE_MAPPER);
  // Plays a sound file (WAV, FLAC, Ogg, AIFF, ...; mono or stereo, a rate
  // up to 65535 Hz): the player takes the file's format for the time of
  // playing and goes back to its own when the device closes. A file that
  // cannot be played is refused before the device opens, with the reason;
  // so is one whose format would have to be switched under a running
  // capture (unless SeparateCtrls unlinks the halves' formats). Playing
  // starts at frame `fromFrame` (the file's first pass only).
  bool PlayFile(const QString& path, platform::WORD loops = 0, platform::UINT deviceId = platform::WAVE_MAPPER,
                std::int64_t fromFrame = 0);

  // Stops playing, releases the stream and waits until the device has
  // closed; failures go to the owner's ErrorMessage.
  void Stop();

  // The played-buffer step, for MM_WOM_DONE of `handle`.
  void BufferDone(platform::HWAVEOUT handle);
  // Reads the next block into the ring slot at QueueIndex and writes it.
  std::int32_t Refill();
  // Unprepares the headers, closes the device, restores the format and
  // fires OnPlayed.
  void CloseDevice();
  void SetErrorText(platform::MMRESULT code, const std::string& lead);

  void RefillWndProc(platform::Message& Message);
  void CloseWndProc(platform::Message& Message);

 private:
  void CloseWhenDrained();
  void PostClose();
  void RestoreSavedFormat();
  // Would switching to this format stop a capture that runs?
  bool SwitchStopsCapture(TChannels channels, platform::WORD rate, TBPS bits) const;

  // Which playing this is (each Play that opens the device begins one); its
  // refill and close requests carry it.
  platform::WPARAM playing_ = 0;
  bool starting_ = false;        // Play is queuing the first buffers
  bool closeRequested_ = false;  // a close request waits at CloseWindow
  // Buffers written to the device, and completions of them handled, since
  // the device opened: Stop knows from them whether one is still to come.
  unsigned written_ = 0;
  unsigned done_ = 0;
};

}  // namespace audio
