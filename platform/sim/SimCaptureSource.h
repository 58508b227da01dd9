// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Frames of the simulated device: the chosen signal, paced by a clock at the
// format's rate, released by the test, or as fast as buffers come.
//
// Buffers: the source follows which buffer it fills (WaveInDevice asks for
// the room left in the front buffer, and returns a partly filled one on
// stop), so a short buffer can be told apart from a partial read.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/CaptureSource.h"
#include "platform/sim/LoopbackPath.h"
#include "platform/sim/Signal.h"
#include "platform/sim/SimState.h"

namespace platform::sim {

enum class Pacing {
  Clock,    // real time at the format's rate
  Manual,   // only what the test releases
  Unpaced,  // always there: buffers fill as soon as they are queued
};

class SimCaptureSource : public CaptureSource {
 public:
  // With a path, the frames are what the output device plays, through it
  // (the state's loopback wire); the signal is not used.
  SimCaptureSource(std::shared_ptr<SimState> state, Signal signal, Pacing pacing, const WAVEFORMATEX& format,
                   std::optional<LoopbackPath> path = std::nullopt);

  MMRESULT start() override;
  void stop() override;
  ReadResult read(BYTE* dst, std::size_t frames, Waker& waker) override;
  std::string failureDetail() const override { return failureDetail_; }

 private:
  using Clock = std::chrono::steady_clock;

  // How many of `want` frames may be produced now (0 or want, except for
  // released frames, which may run out part-way); else when to look again.
  std::size_t take(std::size_t want, std::optional<Clock::time_point>& retryAt) noexcept;
  void decideLimit() noexcept;
  void commitBuffer() noexcept;
  void endBuffer() noexcept;
  // Loopback: renders up to n frames from the wire; fewer when the output
  // plays and its frames have not arrived yet.
  std::size_t renderLoopback(BYTE* dst, std::size_t n) noexcept;
  void putSample(BYTE*& dst, double v) const noexcept;

  const std::shared_ptr<SimState> state_;
  const Signal signal_;
  const Pacing pacing_;
  const WAVEFORMATEX format_;
  std::uint64_t frame_ = 0;  // the signal's position: frames this device produced

  // Clock pacing: the current capture's start and the frames produced since.
  Clock::time_point clockStart_;
  std::uint64_t clockFrames_ = 0;

  // The buffer being filled.
  std::size_t framesInBuffer_ = 0;
  bool decided_ = false;              // its short-buffer request is settled
  std::optional<std::size_t> limit_;  // its length in frames when short

  std::string failureDetail_;

  // Loopback: one path per channel, and the frame of the current playing's
  // origin (as loopOrigin in the state), if one has begun.
  std::vector<LoopbackChannel> channels_;
  std::optional<LoopbackPath> path_;
  std::optional<std::uint64_t> origin_;
};

}  // namespace platform::sim
