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

std::string NoAnswerReason() {
  return "the device or its sound server did not answer within " + std::to_string(kDeviceAnswerLimit.count()) +
         " ms";
}

}  // namespace platform
