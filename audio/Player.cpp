#include "audio/Player.h"

#include <QIODevice>

#include "audio/Audio.h"

namespace audio {

TPlayer::TPlayer() = default;
TPlayer::~TPlayer() = default;

void TPlayer::Stop() {
  // Only a start operation opens the output device; until one has, there is
  // nothing to stop.
  if (!DeviceOpen) {
    AudioComponent->ErrorMessage = "Player already closed";
    return;
  }
}

void TPlayer::RefillWndProc(platform::Message& Message) { Message.Result = 0; }

void TPlayer::CloseWndProc(platform::Message& Message) { Message.Result = 0; }

}  // namespace audio
