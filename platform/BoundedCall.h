// A call that may block in a sound server that does not answer (opening a
// device, closing a mixer), made on a thread of its own so that its caller
// waits a bounded time. A call that does not finish in time goes on by
// itself and ends with its thread; it must own whatever it touches (capture
// it by value or through a shared_ptr), since its caller no longer waits.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace platform {

// Runs `call` and waits for it at most `limit`; true when it finished.
bool RunWithin(std::chrono::milliseconds limit, std::function<void()> call);

// The reason a device call that was given up on reports.
std::string NoAnswerReason();

}  // namespace platform
