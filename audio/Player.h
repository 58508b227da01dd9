// TPlayer: the wave-output half of the audio component. It owns its storage
// (through TAudioSettings), the stream it plays and two hidden windows, to
// which refill and close requests are posted so that they run one message
// after the device's notification, on the GUI thread.
#pragma once

#include <memory>

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

  // Stops playing, releases the stream and waits until the device has
  // closed; failures go to the owner's ErrorMessage.
  void Stop();

  void RefillWndProc(platform::Message& Message);
  void CloseWndProc(platform::Message& Message);
};

}  // namespace audio
