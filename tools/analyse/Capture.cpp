// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/Capture.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/Audio.h"
#include "audio/Recorder.h"
#include "platform/SpscRing.h"

namespace analyse {

namespace {

constexpr int kBlockFrames = 2048;

struct Block {
  std::array<std::int16_t, kBlockFrames * kCaptureChannels> samples;
  std::size_t count;  // samples in it
};

// About three seconds of blocks: the analysis keeps up many times over, so
// the ring fills only when this thread is held up for that long.
using BlockRing = platform::SpscRing<Block, 64>;

}  // namespace

CaptureOutcome Capture(int device, double seconds, const std::function<void(const float*, size_t)>& sink) {
  CaptureOutcome outcome;
  audio::TAudio audio(nullptr);
  audio::TRecorder& rec = *audio.Recorder;
  rec.SetBitsPerSample(audio::TBPS::_16);
  rec.SetSampleRate(kCaptureRate);
  rec.SetChannels(audio::TChannels::Stereo);
  rec.SetNoSamples(kBlockFrames);
  rec.SetTrigLevel(static_cast<platform::WORD>(static_cast<std::int16_t>(-32768)));  // every block passes
  audio.SetAudioDeviceID(device);
  rec.Triggered = false;

  auto ring = std::make_unique<BlockRing>();
  std::atomic<unsigned long> lost{0};
  audio.OnRecord = [&](audio::TObject*, void* LP, void*, platform::WORD bytes) {
    Block b;
    b.count = std::min<std::size_t>(bytes / sizeof(std::int16_t), b.samples.size());
    std::memcpy(b.samples.data(), LP, b.count * sizeof(std::int16_t));
    if (!ring->push(b)) lost.fetch_add(1, std::memory_order_relaxed);
  };

  const auto wanted = static_cast<std::uint64_t>(std::llround(seconds * kCaptureRate));
  std::uint64_t handed = 0;
  std::vector<float> floats(kBlockFrames * kCaptureChannels);
  QEventLoop loop;
  auto drain = [&] {
    while (const Block* b = ring->front()) {
      const std::uint64_t frames = std::min<std::uint64_t>(b->count / kCaptureChannels, wanted - handed);
      for (std::size_t i = 0; i < frames * kCaptureChannels; ++i) floats[i] = float(b->samples[i]) / 32768.0f;
      ring->pop();
      if (frames) sink(floats.data(), std::size_t(frames));
      handed += frames;
      if (handed == wanted) {
        loop.quit();
        return;
      }
    }
    // A device that failed stops the recorder from the GUI thread.
    if (!rec.DeviceOpen) loop.quit();
  };

  if (!rec.Start()) {
    outcome.error = audio.ErrorMessage;
    return outcome;
  }
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, drain);
  poll.start(20);
  // Blocks that stop coming end the capture rather than hang it.
  QTimer::singleShot(static_cast<int>(seconds * 1000) + 10000, &loop, &QEventLoop::quit);
  const bool interrupted = loop.exec() != 0;
  poll.stop();

  const bool failed = !rec.DeviceOpen;
  const std::string failure = audio.ErrorMessage;
  const bool stopped = rec.Stop();
  outcome.lost = lost.load();
  if (failed) {
    outcome.error = "capture ended: " + failure;
  } else if (!stopped) {
    outcome.error = audio.ErrorMessage;
  } else if (handed < wanted && !interrupted) {
    outcome.error = "the device delivered " + std::to_string(handed) + " of " + std::to_string(wanted) + " frames";
  } else {
    outcome.ok = true;
  }
  return outcome;
}

}  // namespace analyse
