// The common base of everything that can be the Sender of an event.
#pragma once

namespace audio {

class TObject {
 public:
  virtual ~TObject() = default;
};

}  // namespace audio
