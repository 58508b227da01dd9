#include "audio/MixerSettings.h"

#include "platform/NotifyWindow.h"

namespace audio {

TMixerSettings::~TMixerSettings() { ReleaseLines(); }

void TMixerSettings::ReleaseLines() {
  while (Lines != nullptr) {
    TMixDetails* next = Lines->Next;
    delete Lines;
    Lines = next;
  }
  MixerHandle = nullptr;
}

bool TMixerSettings::EnumerateMixer(std::int32_t) {
  ReleaseLines();
  // The platform layer offers no mixer device yet, so there is nothing to
  // enumerate: the list stays empty and MixerReady stays as it was.
  return false;
}

void TMixerSettings::WndProc(platform::Message& Message) { Message.Result = 0; }

}  // namespace audio
