// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The header-queue rules of AudioSystem.h, kept in one place for every
// wave device of both directions, so the simulated device behaves as the
// real one.
//
// The owner's side (prepare, unprepare, add) runs on one thread, the
// device's side (front, complete) on the device thread. The hand-over is a
// lock-free single-producer/single-consumer ring, so the device side never
// locks or waits.
#pragma once

#include <cstddef>

#include "platform/ResultCodes.h"
#include "platform/SpscRing.h"
#include "platform/Types.h"

namespace platform {

class HeaderQueue {
 public:
  static constexpr std::size_t kMaxQueued = 64;

  // Owner's side.
  static MMRESULT prepare(WAVEHDR* header, UINT size) noexcept;
  static MMRESULT unprepare(WAVEHDR* header, UINT size) noexcept;
  // Queues the header; MMSYSERR_NOMEM when kMaxQueued are queued already.
  MMRESULT add(WAVEHDR* header, UINT size) noexcept;

  // Device's side: the oldest queued header, or null.
  WAVEHDR* front() const noexcept;
  // Returns the oldest queued header to its owner with the bytes it holds.
  WAVEHDR* completeFront() noexcept;

  // Headers queued and not yet returned.
  std::size_t queued() const noexcept { return ring_.size(); }

 private:
  SpscRing<WAVEHDR*, kMaxQueued> ring_;
};

}  // namespace platform
