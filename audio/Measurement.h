// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One measurement of a device through the audio component: the recorder
// captures the input while the player plays the stimulus (a generated
// stream), and once the stimulus has come back the capture is analysed
// (measure::Analyse). The command line and the Measure window both run it.
//
// It takes over its component's events (OnRecord, OnBufferPlayed,
// OnPlayed) and format (mono, 16 bits, the measurement's rate) for the time
// of the measurement, so the component is one of its own, not the main
// window's. Everything runs on the GUI thread but the capture, which the
// recorder's device thread appends to a buffer made before the start (no
// allocation there).
//
// The origin (where the first played sample would stand in the capture)
// comes from the two devices' stamps (AudioSystem::waveInGetStamp); a
// back-end without them leaves the frames captured when the player wrote
// its first buffer, and the delay then counts the devices' buffering too.
#pragma once

#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measure/Plan.h"
#include "measure/Result.h"

namespace audio {

class TAudio;

class TMeasurement {
 public:
  explicit TMeasurement(TAudio& audio);
  ~TMeasurement();

  // The share of the stimulus played so far, 0 ... 1.
  std::function<void(double)> OnProgress;
  // The measurement has ended: Succeeded() says how, Result() or Why() what.
  std::function<void()> OnFinished;

  // Starts playing and capturing; false with the reason in Why() when a
  // device cannot be opened. Device numbers: -1 the system's default.
  bool Start(const measure::Settings& settings, int playDevice, int recordDevice);
  // Ends a measurement at once: the stimulus stops, nothing is analysed.
  void Stop();

  bool Running() const noexcept { return running_; }
  bool Succeeded() const noexcept { return succeeded_; }
  // The measurement ended because a device failed (rather than because
  // what came back could not be analysed).
  bool DeviceFailed() const noexcept { return deviceFailed_; }
  const std::string& Why() const noexcept { return why_; }
  const measure::Result& Result() const noexcept { return result_; }
  const measure::Plan* Plan() const noexcept { return plan_.get(); }

 private:
  void Check();
  void Fail(const std::string& why, bool device);
  void Finish();
  std::optional<double> OriginFromStamps() const;

  TAudio& audio_;
  std::unique_ptr<measure::Plan> plan_;
  std::vector<float> capture_;
  std::atomic<std::size_t> captured_{0};
  std::atomic<bool> overflow_{false};
  std::size_t firstWrite_ = 0;  // frames captured when the first buffer was written
  std::optional<double> origin_;
  std::vector<double> origins_;
  std::size_t playedFrames_ = 0;
  bool played_ = false;
  bool running_ = false, succeeded_ = false, deviceFailed_ = false;
  std::string why_;
  measure::Result result_;
  QTimer timer_;
  std::size_t lastCount_ = 0;
  int stalled_ = 0;
};

}  // namespace audio
