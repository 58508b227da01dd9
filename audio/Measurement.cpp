// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/Measurement.h"

#include <algorithm>
#include <cstring>

#include "audio/Audio.h"
#include "audio/GeneratedStream.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "audio/Texts.h"
#include "measure/Analysis.h"
#include "platform/AudioSystem.h"

namespace audio {

using namespace platform;

namespace {
constexpr int kCheckMs = 20;
// A capture that stops moving for this long has failed.
constexpr int kStallChecks = 5000 / kCheckMs;
// Long blocks: the GUI thread refills the player and re-queues the
// recorder's buffers, and a busy moment of it must not make a gap.
constexpr WORD kBlockFrames = 8192;
}  // namespace

TMeasurement::TMeasurement(TAudio& audio) : audio_(audio) {
  timer_.setInterval(kCheckMs);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
}

TMeasurement::~TMeasurement() {
  if (running_) Stop();
}

bool TMeasurement::Start(const measure::Settings& settings, int playDevice, int recordDevice) {
  if (running_) Stop();
  plan_ = std::make_unique<measure::Plan>(settings);
  succeeded_ = deviceFailed_ = played_ = false;
  why_.clear();
  result_ = {};
  origin_.reset();
  origins_.clear();
  origins_.reserve(4096);
  playedFrames_ = 0;
  lastCount_ = 0;
  stalled_ = 0;
  // Room for the whole playing and four seconds of the devices' start.
  capture_.assign(plan_->frames() + 4u * settings.rate, 0.0f);
  captured_.store(0);
  overflow_.store(false);

  TRecorder& recorder = *audio_.Recorder;
  TPlayer& player = *audio_.Player;
  audio_.SetAudioDeviceID(recordDevice);
  recorder.SetChannels(TChannels::Mono);
  recorder.SetBitsPerSample(TBPS::_16);
  recorder.SetSampleRate(static_cast<WORD>(settings.rate));
  recorder.SetNoSamples(kBlockFrames);
  recorder.Triggered = true;  // every block, whatever its level
  audio_.OnRecord = [this](TObject*, void* left, void*, WORD bytes) {
    const auto* s = static_cast<const std::int16_t*>(left);
    const std::size_t n = bytes / 2, at = captured_.load(std::memory_order_relaxed);
    const std::size_t room = capture_.size() - at;
    if (n > room) overflow_.store(true, std::memory_order_relaxed);
    for (std::size_t i = 0; i < std::min(n, room); ++i) capture_[at + i] = s[i] / 32768.0f;
    captured_.store(at + std::min(n, room), std::memory_order_release);
  };
  audio_.OnBufferPlayed = [this](TObject*) {
    playedFrames_ += audio_.Player->BufferBytes / 2;
    if (OnProgress)
      OnProgress(std::min(1.0, static_cast<double>(playedFrames_) / static_cast<double>(plan_->frames())));
  };
  audio_.OnPlayed = [this](TObject*) { played_ = true; };

  audio_.ErrorMessage.clear();
  if (!recorder.Start()) {
    why_ = "the input device failed: " + ForUser(audio_.ErrorMessage);
    deviceFailed_ = true;
    recorder.Stop();
    return false;
  }
  const UINT output = playDevice < 0 ? WAVE_MAPPER : static_cast<UINT>(playDevice);
  auto stream = std::make_unique<TGeneratedStream>(plan_->makeStimulus(), 1, false);
  if (!player.Play(std::move(stream), 0, 0, output)) {
    why_ = "the output device failed: " + ForUser(audio_.ErrorMessage);
    deviceFailed_ = true;
    recorder.Stop();
    return false;
  }
  firstWrite_ = captured_.load(std::memory_order_acquire);
  running_ = true;
  timer_.start();
  return true;
}

// Where output frame 0 stands in the capture: the time the output's stamp
// puts it at, on the input's stamp's line.
std::optional<double> TMeasurement::OriginFromStamps() const {
  WAVESTAMP in{}, out{};
  AudioSystem& system = audio_.System();
  if (system.waveInGetStamp(audio_.Recorder->WaveIn, &in) != 0) return std::nullopt;
  if (system.waveOutGetStamp(audio_.Player->WaveOutHandle, &out) != 0) return std::nullopt;
  const double rate = plan_->settings().rate;
  const double zero = static_cast<double>(out.nanoseconds) - static_cast<double>(out.frames) * 1e9 / rate;
  return static_cast<double>(in.frames) + (zero - static_cast<double>(in.nanoseconds)) * rate / 1e9;
}

void TMeasurement::Check() {
  if (!running_) return;
  // The stamps are read at every check while both devices run, and their
  // median is taken: a sound server's account of its buffering wavers from
  // moment to moment. One that puts the first played frame before the
  // capture began is not one to go by.
  if (audio_.Player->DeviceOpen)
    if (const std::optional<double> o = OriginFromStamps(); o && *o >= 0) {
      origins_.push_back(*o);
      std::vector<double> sorted = origins_;
      std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
      origin_ = sorted[sorted.size() / 2];
    }
  const std::size_t count = captured_.load(std::memory_order_acquire);
  stalled_ = count == lastCount_ ? stalled_ + 1 : 0;
  lastCount_ = count;
  if (stalled_ > kStallChecks || !audio_.Recorder->DeviceOpen) {
    Fail("the input device stopped delivering sound" +
             (audio_.ErrorMessage.empty() ? std::string() : ": " + ForUser(audio_.ErrorMessage)),
         true);
    return;
  }
  if (played_ && !audio_.ErrorMessage.empty()) {
    Fail("the output device failed: " + ForUser(audio_.ErrorMessage), true);
    return;
  }
  const double origin = origin_.value_or(static_cast<double>(firstWrite_));
  // The stimulus has come back, with a tenth of a second to spare.
  const double needed = origin + static_cast<double>(plan_->frames()) + 0.1 * plan_->settings().rate;
  if (played_ && (static_cast<double>(count) >= needed || overflow_.load())) Finish();
}

void TMeasurement::Fail(const std::string& why, bool device) {
  timer_.stop();
  if (audio_.Player->DeviceOpen) audio_.Player->Stop();
  audio_.Recorder->Stop();
  running_ = false;
  succeeded_ = false;
  deviceFailed_ = device;
  why_ = why;
  if (OnFinished) OnFinished();
}

void TMeasurement::Finish() {
  timer_.stop();
  audio_.Recorder->Stop();
  running_ = false;
  const double origin = origin_.value_or(static_cast<double>(firstWrite_));
  const measure::Capture capture{capture_.data(), captured_.load(std::memory_order_acquire), origin};
  succeeded_ = measure::Analyse(*plan_, capture, result_, why_);
  if (OnFinished) OnFinished();
}

void TMeasurement::Stop() {
  if (!running_) return;
  Fail("stopped", false);
}

}  // namespace audio
