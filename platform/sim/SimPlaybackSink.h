// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where the simulated output device's frames go: a record of every byte it
// played, kept for the test, taken at a clock's pace (the format's rate),
// as the test releases frames, or at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/PlaybackSink.h"
#include "platform/sim/SimCaptureSource.h"
#include "platform/sim/SimState.h"

namespace platform::sim {

class SimPlaybackSink : public PlaybackSink {
 public:
  // Clock pacing takes at most this many frames per write, as a device
  // period would.
  static constexpr std::size_t kPeriodFrames = 512;

  SimPlaybackSink(std::shared_ptr<SimState> state, Pacing pacing, const WAVEFORMATEX& format);
  // A looped-back sink's wire is closed: the input hears silence after its
  // last frame.
  ~SimPlaybackSink() override;

  WriteResult write(const BYTE* src, std::size_t frames, Waker& waker) override;
  void drain() override {}
  void discard() override;
  std::string failureDetail() const override { return failureDetail_; }

 private:
  using Clock = std::chrono::steady_clock;
  std::size_t take(std::size_t want, std::optional<Clock::time_point>& retryAt) noexcept;
  // Loopback: how many of n frames the wire has room for now (after the
  // start mark of a playing's first write).
  std::size_t wireRoom(std::size_t n) noexcept;
  void pushWire(const BYTE* src, std::size_t frames) noexcept;

  const std::shared_ptr<SimState> state_;
  const Pacing pacing_;
  const WAVEFORMATEX format_;
  bool started_ = false;
  Clock::time_point clockStart_;
  std::uint64_t clockFrames_ = 0;
  std::string failureDetail_;
};

}  // namespace platform::sim
