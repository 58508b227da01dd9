// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the simulated system shares with its devices' threads: the test's
// requests going in (released frames, short buffers, a failure) and the
// counts coming out. Requests are meant for one capturing device at a time,
// as in the system under test; a later device takes up what an earlier one
// left unused.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SpscRing.h"
#include "platform/Types.h"
#include "platform/Waker.h"

namespace platform::sim {

struct ShortBuffer {
  DWORD bytes = 0;   // what the buffer holds at most when it comes back
  unsigned nth = 1;  // which buffer: 1 is the next one the device fills
};

// One frame on the loopback's wire, as the output device played it; `start`
// marks the first frame of a new playing (its samples are not used).
struct WireFrame {
  float sample[2] = {0, 0};
  bool start = false;
};

struct SimState {
  // Test -> device: wakes a capture device that sleeps for want of frames.
  Waker poke;
  std::atomic<std::uint64_t> frameCredit{0};   // Manual pacing: frames released
  std::atomic<std::uint64_t> bufferCredit{0};  // Manual pacing: buffers released
  SpscRing<ShortBuffer, 16> shortBuffers;
  // A failure asked for: the capturing device fails with this code at its
  // next read. failureWhy is written by the test only while failure is 0 and
  // read by the device only while it is not, so the two never overlap.
  std::atomic<MMRESULT> failure{0};
  std::string failureWhy;

  // Device thread only (handed from device to device with the open/close
  // that orders them): short buffers taken from the ring, each with the
  // number of buffers still to begin before it.
  std::array<ShortBuffer, 16> pending{};
  std::size_t pendingCount = 0;

  // Device -> test: counts, and a wake-up whenever one moves.
  Waker observed;
  std::atomic<std::uint64_t> produced{0};   // frames written into buffers
  std::atomic<std::uint64_t> delivered{0};  // MM_WIM_DATA callbacks that have returned
  std::atomic<std::uint64_t> opens{0};      // MM_WIM_OPEN callbacks
  std::atomic<std::uint64_t> closes{0};     // MM_WIM_CLOSE callbacks
  std::atomic<std::uint64_t> starts{0};     // captures begun by a device thread
  std::atomic<std::uint64_t> stops{0};      // captures ended by a device thread

  // Output. Test -> device: a wake-up of its own (a capture device sleeping
  // at the same time would take the capture one), frames the device may play
  // (Manual pacing), a failure asked for (as failure/failureWhy above, for
  // the output device).
  Waker playPoke;
  std::atomic<std::uint64_t> playCredit{0};
  std::atomic<MMRESULT> outFailure{0};
  std::string outFailureWhy;
  // Device -> test: what the output device played, byte for byte, up to the
  // record's size (set before the device opens); frames played; resets.
  std::vector<BYTE> played;
  std::atomic<std::size_t> playedBytes{0};
  std::atomic<std::uint64_t> framesPlayed{0};
  std::atomic<std::uint64_t> outputResets{0};

  // Loopback (set before the devices open): the output device pushes what it
  // plays onto the wire, the input device takes it through the path. The
  // output waits for room (woken by playPoke), the input for frames (woken
  // by poke). wireOpen: an output device plays into the wire; it is cleared
  // after its last frame is pushed. loopOrigin: the captured frame (from
  // the input device's open) at which the latest playing's first frame
  // arrives with no delay, or -1.
  bool loopback = false;
  SpscRing<WireFrame, 1u << 16> wire;
  std::atomic<bool> wireOpen{false};
  std::atomic<std::int64_t> loopOrigin{-1};
  // Frames the latest input device captured since it opened.
  std::atomic<std::uint64_t> deviceFrames{0};

  void count(std::atomic<std::uint64_t>& counter, std::uint64_t n = 1) noexcept {
    counter.fetch_add(n, std::memory_order_acq_rel);
    observed.wake();
  }
};

}  // namespace platform::sim
