// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The player on ALSA's default device, through the private sound server:
// what it plays into the null sink comes back through the sink's monitor,
// which the recorder captures. Also a sound file played to its end, and a
// stop in the middle of playing.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <optional>
#include <sndfile.h>
#include <vector>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/SoundServer.h"
#include "tests/support/Signals.h"
#include "tests/support/Wait.h"

using namespace audio;
using namespace std::chrono_literals;
using quorvel_test::Align;
using quorvel_test::Alignment;
using quorvel_test::PumpFor;
using quorvel_test::PumpUntil;
using quorvel_test::Rms;

namespace {

constexpr int kRate = 44100;
constexpr int kBufferBytes = 4096;  // 2048 mono 16-bit frames

// 440 Hz and 1250 Hz at a quarter of full scale each: peaks at -6 dBFS.
std::vector<std::int16_t> TwoTone(double seconds, int rate) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * rate));
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double v = 0.25 * std::sin(2 * std::numbers::pi * 440 * t) + 0.25 * std::sin(2 * std::numbers::pi * 1250 * t);
    s[i] = static_cast<std::int16_t>(std::lround(32767 * v));
  }
  return s;
}

std::unique_ptr<QBuffer> RawStream(const std::vector<std::int16_t>& samples) {
  auto buffer = std::make_unique<QBuffer>();
  buffer->setData(reinterpret_cast<const char*>(samples.data()), static_cast<qsizetype>(samples.size() * 2));
  buffer->open(QIODevice::ReadOnly);
  return buffer;
}

class PlayerRoundTrip : public testing::Test {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/test)";
    a = std::make_unique<TAudio>(nullptr);  // the default system: ALSA
    audio_test::ApplyMainWindowSettings(*a);
    a->AudioDeviceID = -1;
    a->OnBufferPlayed = [this](TObject* sender) {
      ++buffersPlayed;
      if (sender != static_cast<TObject*>(a.get())) ++wrongBufferSender;
      if (stopping) ++playedDuringStop;
      if (onBufferPlayed) onBufferPlayed();
    };
    a->OnPlayed = [this](TObject* sender) {
      ++played;
      if (sender != static_cast<TObject*>(a->Player)) ++wrongPlayedSender;
      if (onPlayed) onPlayed();
    };
  }

  // Records the monitor into `captured` (reserved up front: OnRecord runs on
  // the device thread) and waits for the first block.
  void StartCapture(double seconds) {
    captured.assign(static_cast<std::size_t>(seconds * kRate), 0);
    a->OnRecord = [this](TObject*, void* LP, void*, platform::WORD bytes) {
      const std::size_t at = filled.load(std::memory_order_relaxed);
      const std::size_t n = std::min<std::size_t>(bytes / 2, captured.size() - at);
      std::memcpy(captured.data() + at, LP, n * 2);
      filled.store(at + n, std::memory_order_release);
    };
    a->Recorder->Triggered = true;
    ASSERT_TRUE(a->Recorder->Start()) << a->ErrorMessage;
    ASSERT_TRUE(PumpUntil([this] { return filled.load() > 0; })) << "the monitor delivers nothing";
  }

  std::vector<std::int16_t> StopCapture() {
    EXPECT_TRUE(a->Recorder->Stop()) << a->ErrorMessage;
    return std::vector<std::int16_t>(captured.begin(), captured.begin() + static_cast<std::ptrdiff_t>(filled.load()));
  }

  int buffersPlayed = 0, wrongBufferSender = 0, played = 0, wrongPlayedSender = 0, playedDuringStop = 0;
  bool stopping = false;
  std::function<void()> onBufferPlayed, onPlayed;
  std::vector<std::int16_t> captured;
  std::atomic<std::size_t> filled{0};
  // Last, so that it closes its devices before the rest goes.
  std::unique_ptr<TAudio> a;
};

// 3 s of a two-tone from a raw stream: it comes back through the monitor at
// its level, every buffer written is reported played once, and the end of
// the data closes the device and says so once.
TEST_F(PlayerRoundTrip, RawStreamComesBackThroughTheMonitor) {
  StartCapture(12.0);
  const std::vector<std::int16_t> tone = TwoTone(3.0, kRate);
  ASSERT_TRUE(a->Player->Play(RawStream(tone), 0, 0, platform::WAVE_MAPPER)) << a->ErrorMessage;
  EXPECT_TRUE(a->Player->DeviceOpen);
  // OnPlayed fires inside the close; the close's own notification follows.
  ASSERT_TRUE(PumpUntil([this] { return played > 0 && !a->Player->Active.load(); })) << "OnPlayed never fired";
  EXPECT_FALSE(a->Player->DeviceOpen);
  EXPECT_FALSE(a->Player->Active.load());
  // The monitor runs behind the sink: a second more of it holds the end.
  const std::size_t atEnd = filled.load();
  ASSERT_TRUE(PumpUntil([&] { return filled.load() >= atEnd + kRate; }));
  const std::vector<std::int16_t> got = StopCapture();

  const std::size_t bytes = tone.size() * 2;
  EXPECT_EQ(buffersPlayed, static_cast<int>((bytes + kBufferBytes - 1) / kBufferBytes));
  EXPECT_EQ(wrongBufferSender, 0);
  EXPECT_EQ(played, 1);
  EXPECT_EQ(wrongPlayedSender, 0);

  constexpr std::size_t kSkip = 2048;
  const std::optional<Alignment> at = Align(got, tone, kSkip);
  ASSERT_TRUE(at) << "the tone is not in the " << got.size() << " samples captured";
  EXPECT_GE(at->correlation, 0.9);
  const double level = Rms(&got[at->offset + kSkip], tone.size() - kSkip);
  const double want = Rms(&tone[kSkip], tone.size() - kSkip);
  EXPECT_NEAR(20 * std::log10(level / want), 0.0, 0.5);
}

// A 22050 Hz stereo WAV plays to its end in its own format (8192-byte
// buffers); the player's own format is back when OnPlayed fires.
TEST_F(PlayerRoundTrip, SoundFilePlaysToItsEndAndTheFormatComesBack) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("two-tone.wav"));
  const std::vector<std::int16_t> mono = TwoTone(1.5, 22050);
  std::vector<std::int16_t> stereo;
  for (std::int16_t s : mono) stereo.insert(stereo.end(), {s, static_cast<std::int16_t>(s / 2)});
  SF_INFO info{};
  info.channels = 2;
  info.samplerate = 22050;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  ASSERT_EQ(sf_writef_short(f, stereo.data(), static_cast<sf_count_t>(mono.size())),
            static_cast<sf_count_t>(mono.size()));
  ASSERT_EQ(sf_close(f), 0);

  int inFileFormat = 0;
  onBufferPlayed = [&] {
    const TPlayer& p = *a->Player;
    inFileFormat += p.SampleRate == 22050 && p.Channels == TChannels::Stereo && p.BufferBytes == 8192;
  };
  bool restoredAtOnPlayed = false;
  onPlayed = [&] {
    const TPlayer& p = *a->Player;
    restoredAtOnPlayed = p.SampleRate == kRate && p.Channels == TChannels::Mono && p.BitsPerSample == TBPS::_16 &&
                         p.BufferBytes == kBufferBytes;
  };
  ASSERT_TRUE(a->Player->PlayFile(path)) << a->ErrorMessage;
  ASSERT_TRUE(PumpUntil([this] { return played > 0; })) << "OnPlayed never fired";
  PumpFor(200ms);

  const std::size_t bytes = mono.size() * 4;
  EXPECT_EQ(buffersPlayed, static_cast<int>((bytes + 8191) / 8192));
  EXPECT_EQ(inFileFormat, buffersPlayed);
  EXPECT_EQ(played, 1);
  EXPECT_EQ(wrongPlayedSender, 0);
  EXPECT_TRUE(restoredAtOnPlayed);
  EXPECT_FALSE(a->Player->DeviceOpen);
  EXPECT_FALSE(a->Player->RestoreFormat);
  // Without SeparateCtrls the recorder followed the player there and back.
  for (const TAudioSettings* half : std::initializer_list<const TAudioSettings*>{a->Player, a->Recorder}) {
    EXPECT_EQ(half->SampleRate, kRate);
    EXPECT_EQ(half->Channels, TChannels::Mono);
    EXPECT_EQ(half->BitsPerSample, TBPS::_16);
  }
}

// Stop while a 10 s stream plays: it returns with the device closed and
// OnPlayed fired once, and no buffer is reported played after it began.
TEST_F(PlayerRoundTrip, StopInTheMiddleClosesAtOnce) {
  ASSERT_TRUE(a->Player->Play(RawStream(TwoTone(10.0, kRate)))) << a->ErrorMessage;
  ASSERT_TRUE(PumpUntil([this] { return buffersPlayed >= 5; })) << "the player does not play";
  stopping = true;
  a->Player->Stop();
  EXPECT_FALSE(a->Player->DeviceOpen) << a->ErrorMessage;
  EXPECT_FALSE(a->Player->Active.load());
  EXPECT_EQ(a->Player->Stream, nullptr);
  EXPECT_EQ(played, 1);
  // Nothing that was still on its way reports itself later.
  PumpFor(300ms);
  EXPECT_EQ(played, 1);
  EXPECT_EQ(playedDuringStop, 0);
  EXPECT_EQ(wrongPlayedSender, 0);
}

}  // namespace
