// Frames of the simulated device: the chosen signal, produced at the
// format's rate (Clock) or as the test releases them (Manual).
#pragma once

#include <chrono>
#include <memory>

#include "platform/CaptureSource.h"
#include "platform/sim/SimAudioSystem.h"

namespace platform::sim {

class SimCaptureSource : public CaptureSource {
 public:
  SimCaptureSource(std::shared_ptr<SimAudioSystem::State> state, Signal signal, Pacing pacing,
                   const WAVEFORMATEX& format);

  MMRESULT start() override;
  void stop() override {}
  ReadResult read(BYTE* dst, std::size_t frames, Waker& waker) override;
  std::string failureDetail() const override { return state_->failureWhy; }

 private:
  void generate(BYTE* dst, std::size_t frames);
  // Frames that may be produced now; 0 means sleep (for at most *sleepMs).
  std::uint64_t ready(int& sleepMs) const;

  std::shared_ptr<SimAudioSystem::State> state_;
  const Signal signal_;
  const Pacing pacing_;
  const WAVEFORMATEX format_;
  std::uint64_t frame_ = 0;  // frames produced by this device
  std::chrono::steady_clock::time_point started_;
};

}  // namespace platform::sim
