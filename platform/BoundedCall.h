// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A call that may block in a sound server that does not answer (opening a
// device, reading or closing a mixer, asking whether a server is there),
// made on a thread of its own so that its caller waits a bounded time.
//
// Calls of one kind go through one BoundedLane. A call that does not finish
// in time goes on by itself, and until it has come back the lane refuses
// the next one at once: a server that does not answer holds at most one
// thread of each kind, and when it answers it finishes one call, not a
// pile of them at once. A call must own whatever it touches (captured by
// value or through a shared_ptr), since its caller may no longer wait; what
// it made after its caller gave up is let go of on its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class BoundedLane {
 public:
  enum class Outcome {
    Done,      // the call finished within the bound
    GaveUp,    // it did not; it goes on by itself
    Busy,      // refused: the lane's previous call has not come back yet
    NoThread,  // refused: no thread could be started
  };

  // Runs `call` on a thread of its own and waits for it at most `limit`.
  // After GaveUp, `late` runs on that thread once `call` has returned, to
  // let go of what it made. When Done is returned the lane is free again.
  Outcome run(std::chrono::milliseconds limit, std::function<void()> call, std::function<void()> late = {});
  // Waits until no call of the lane runs any more: before freeing what a
  // call given up on may still touch.
  void waitIdle() const noexcept;

 private:
  std::shared_ptr<std::atomic<bool>> running_ = std::make_shared<std::atomic<bool>>(false);
};

// A yes-or-no question to a device that may not answer (is the sound
// server there?), asked within a bound through a lane of its own: no answer
// in time, and every asking while that one has not come back, is None, so
// that a device that hangs costs its callers the bound once.
class BoundedProbe {
 public:
  enum class Answer { Yes, No, None };
  Answer ask(std::chrono::milliseconds limit, std::function<bool()> probe);

 private:
  BoundedLane lane_;
};

// The reason a device call that was given up on reports.
std::string NoAnswerReason();

}  // namespace platform
