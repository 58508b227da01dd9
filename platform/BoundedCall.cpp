// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/BoundedCall.h"

#include <semaphore>
#include <thread>

#include "platform/AudioSystem.h"
#include "platform/StartThread.h"

namespace platform {
namespace {

// Where one call stands. Its thread and its caller each end their part
// with one exchange of `stage`, so whichever comes second knows what the
// other did: a call that finishes just as its caller gives up is either
// taken as done or let go of, never both or neither.
enum Stage : int { kRunning, kFinished, kGivenUp };
struct CallState {
  std::atomic<int> stage{kRunning};
  std::binary_semaphore finished{0};
};

}  // namespace

BoundedLane::Outcome BoundedLane::run(std::chrono::milliseconds limit, std::function<void()> call,
                                      std::function<void()> late) {
  if (running_->exchange(true, std::memory_order_acq_rel)) return Outcome::Busy;
  auto state = std::make_shared<CallState>();
  std::thread thread;
  const bool started =
      StartThread(thread, [state, running = running_, call = std::move(call), late = std::move(late)]() mutable {
        call();
        const bool givenUp = state->stage.exchange(kFinished, std::memory_order_acq_rel) == kGivenUp;
        if (givenUp && late) late();
        // What the call captured goes here, on this thread, before the lane
        // takes the next call.
        call = nullptr;
        late = nullptr;
        running->store(false, std::memory_order_release);
        running->notify_all();
        if (!givenUp) state->finished.release();
      });
  if (!started) {
    running_->store(false, std::memory_order_release);
    return Outcome::NoThread;
  }
  thread.detach();
  if (state->finished.try_acquire_for(limit)) return Outcome::Done;
  if (state->stage.exchange(kGivenUp, std::memory_order_acq_rel) == kRunning) return Outcome::GaveUp;
  // It finished just as the bound passed: it is about to say so.
  state->finished.acquire();
  return Outcome::Done;
}

void BoundedLane::waitIdle() const noexcept {
  while (running_->load(std::memory_order_acquire)) running_->wait(true, std::memory_order_acquire);
}

BoundedProbe::Answer BoundedProbe::ask(std::chrono::milliseconds limit, std::function<bool()> probe) {
  auto yes = std::make_shared<std::atomic<bool>>(false);
  if (lane_.run(limit, [yes, probe = std::move(probe)] { yes->store(probe(), std::memory_order_release); }) !=
      BoundedLane::Outcome::Done)
    return Answer::None;
  return yes->load(std::memory_order_acquire) ? Answer::Yes : Answer::No;
}

std::string NoAnswerReason() {
  return "the device or its sound server did not answer within " + std::to_string(kDeviceAnswerLimit.count()) + " ms";
}

}  // namespace platform
