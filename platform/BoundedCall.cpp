// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/BoundedCall.h"

#include "platform/AudioSystem.h"

#include <memory>
#include <semaphore>
#include <thread>

namespace platform {

bool RunWithin(std::chrono::milliseconds limit, std::function<void()> call) {
  auto done = std::make_shared<std::binary_semaphore>(0);
  std::thread thread([call = std::move(call), done] {
    call();
    done->release();
  });
  if (done->try_acquire_for(limit)) {
    thread.join();
    return true;
  }
  thread.detach();
  return false;
}

bool BoundedProbe::ask(std::chrono::milliseconds limit, std::function<bool()> probe) {
  if (waiting_->exchange(true, std::memory_order_acq_rel)) return false;
  auto yes = std::make_shared<std::atomic<bool>>(false);
  RunWithin(limit, [waiting = waiting_, yes, probe = std::move(probe)] {
    yes->store(probe(), std::memory_order_release);
    waiting->store(false, std::memory_order_release);
  });
  return yes->load(std::memory_order_acquire);
}

std::string NoAnswerReason() {
  return "the device or its sound server did not answer within " + std::to_string(kDeviceAnswerLimit.count()) + " ms";
}

}  // namespace platform
