// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ALSA back-end's wave output on the real sound stack: what is played
// into the private sound server's null sink comes back through its monitor,
// which ALSA's default capture device records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "tests/support/RealStack.h"
#include "tests/support/Wait.h"
#include "platform/ResultCodes.h"

namespace {

using namespace platform;
using namespace quorvel_test;
using namespace std::chrono_literals;

class AlsaPlayback : public AlsaOnSoundServer {
 protected:
  // Captures the monitor with enough buffers queued to ride out a close
  // that plays out; waits until the idle sink delivers.
  static void StartCapture(Capture& capture) {
    ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.pump(kWaitLimit, 1), MMSYSERR_NOERROR);
    ASSERT_GE(capture.blockCount(), 1u);
  }

  // Keeps capturing until `seconds` more have come: the monitor runs behind
  // the sink, and this much more of it holds the end of what was played.
  static void CaptureMore(Capture& capture, double seconds) {
    const auto more = static_cast<std::size_t>(seconds * kRate / kFrames) + 1;
    ASSERT_EQ(capture.pump(kWaitLimit, capture.blockCount() + more), MMSYSERR_NOERROR);
  }

  // Feeds the playback until every header has come back, keeping the
  // capture going.
  static void PlayAll(Playback& play, Capture& capture) {
    const Clock::time_point end = Clock::now() + 30s;
    while ((!play.allWritten() || play.returned() < play.written()) && Clock::now() < end) {
      ASSERT_EQ(play.feed(), MMSYSERR_NOERROR);
      ASSERT_EQ(capture.pump(2ms), MMSYSERR_NOERROR);
    }
    ASSERT_TRUE(play.allWritten());
    ASSERT_EQ(play.returned(), play.written());
  }
};

std::vector<std::int16_t> Samples16(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// The monitor may miss the first moments of a stream: the null sink renders
// ahead, and when a stream starts it renders that stretch again with the
// stream in it, but what the monitor had already handed to a capture stays
// as it was (about 20 ms here). Everything after that must be there.
constexpr std::size_t kMaxLostStart = kFrames;

// What the monitor heard is the played signal, sample for sample, from
// near its start to its very end (close plays out what the device holds),
// at its level and followed by silence. Checked in 10 ms pieces from the
// end back: a lost, repeated or late piece ends the match where it is.
void ExpectPlayedToTheEnd(const std::vector<std::int16_t>& got, const std::vector<std::int16_t>& played) {
  const std::optional<Alignment> at = Align(got, played, kMaxLostStart);
  ASSERT_TRUE(at) << "the tone is not in the capture";
  const std::size_t end = at->offset + played.size();
  ASSERT_GE(got.size(), end + kFrames) << "the capture stops right after the tone";
  const double want = Rms(played.data(), played.size());

  constexpr std::size_t kWindow = kRate / 100;
  std::size_t matched = 0;
  while (matched < played.size()) {
    const std::size_t n = std::min(kWindow, played.size() - matched);
    double diff = 0;
    for (std::size_t i = matched; i < matched + n; ++i) {
      const double d = static_cast<double>(got[end - 1 - i]) - played[played.size() - 1 - i];
      diff += d * d;
    }
    if (std::sqrt(diff / static_cast<double>(n)) >= 0.05 * want) break;
    matched += n;
  }
  EXPECT_LE(played.size() - matched, kMaxLostStart)
      << "only the last " << static_cast<double>(matched) / kRate << " s of "
      << static_cast<double>(played.size()) / kRate << " s came back intact";
  ASSERT_GT(matched, 0u);
  const double level = Rms(&got[end - matched], matched);
  const double wantHere = Rms(&played[played.size() - matched], matched);
  EXPECT_NEAR(20 * std::log10(level / wantHere), 0.0, 0.5);
  EXPECT_LT(Rms(&got[end], kFrames), 0.01 * want) << "something was played after the end";
}

// A tone comes back sample for sample and at its level, to its last period
// (close plays it out), and every header comes back once, in order, done:
// 3 s through four headers, and 70 ms in one, less than the PCM's ring
// (80 ms), which the stream never fills, so that close has to start it.
TEST_F(AlsaPlayback, ToneComesBackToItsLastSampleAtItsLevel) {
  const WAVEFORMATEX format = PcmFormat(1, 16, kRate);
  for (const auto& [seconds, headers] : {std::pair{3.0, std::size_t{4}}, std::pair{0.07, std::size_t{1}}}) {
    Capture capture(system, WAVE_MAPPER, format, kFrames, 16, 512);
    StartCapture(capture);
    const std::vector<std::uint8_t> tone = ToneBytes(format, seconds, 1000, {0.5});
    const std::size_t bytes = headers == 1 ? tone.size() : kFrames * format.nBlockAlign;
    Playback play(system, WAVE_MAPPER, format, tone, bytes, headers);
    ASSERT_EQ(play.open(), MMSYSERR_NOERROR);
    PlayAll(play, capture);
    EXPECT_TRUE(play.returnedInOrderAndDone()) << seconds;
    EXPECT_EQ(play.withDevice(), 0u);
    ASSERT_EQ(play.close(), MMSYSERR_NOERROR);
    EXPECT_EQ(play.opens(), 1);
    EXPECT_EQ(play.closes(), 1);

    CaptureMore(capture, 1.5);
    ASSERT_EQ(capture.reset(), MMSYSERR_NOERROR);
    ASSERT_EQ(capture.close(), MMSYSERR_NOERROR);
    ExpectPlayedToTheEnd(capture.samples16(), Samples16(tone));
  }
}

// Stereo 8-bit at half the server's rate, a different level on each
// channel: the channels stay apart and in order, each at its level and the
// tone at its frequency.
TEST_F(AlsaPlayback, EightBitStereoKeepsChannelsLevelsAndFrequency) {
  const WAVEFORMATEX captured = PcmFormat(2, 16, kRate);
  Capture capture(system, WAVE_MAPPER, captured, kFrames, 16, 512);
  StartCapture(capture);

  const WAVEFORMATEX format = PcmFormat(2, 8, 22050);
  const std::vector<double> amplitudes = {0.5, 0.25};
  Playback play(system, WAVE_MAPPER, format, ToneBytes(format, 2.0, 1000, amplitudes), 1024 * format.nBlockAlign);
  ASSERT_EQ(play.open(), MMSYSERR_NOERROR);
  PlayAll(play, capture);
  ASSERT_EQ(play.close(), MMSYSERR_NOERROR);
  CaptureMore(capture, 1.0);
  ASSERT_EQ(capture.reset(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.close(), MMSYSERR_NOERROR);

  const std::vector<std::int16_t> got = capture.samples16();
  std::size_t onset = 0;
  while (onset < got.size() && std::abs(got[onset]) < 4000) ++onset;
  // One second from well inside the tone.
  const std::size_t begin = (onset + kRate / 4) & ~std::size_t{1};
  ASSERT_GE(got.size(), begin + 2 * kRate) << "the tone is not in the capture";
  for (std::size_t channel = 0; channel < 2; ++channel) {
    // 8-bit samples reach the server as (u8 - 128) * 256.
    const double want = 127.0 * 256 * amplitudes[channel] / std::sqrt(2.0);
    const double level = Rms(&got[begin + channel], kRate, 2);
    EXPECT_NEAR(20 * std::log10(level / want), 0.0, 0.5) << "channel " << channel;
    std::size_t crossings = 0;
    for (std::size_t i = 1; i < kRate; ++i)
      crossings += (got[begin + 2 * i + channel] < 0) != (got[begin + 2 * (i - 1) + channel] < 0);
    EXPECT_NEAR(crossings / 2.0, 1000.0, 20.0) << "channel " << channel;
  }
}

// Closing while headers are queued is refused and leaves the device
// playing. waveOutReset in the middle of playing, again and again on one
// device: every header is back when it returns, and the device plays on
// afterwards. (A stream on the idle null sink takes up to 2 s to get going,
// so only a few rounds.)
TEST_F(AlsaPlayback, ResetInTheMiddleReturnsEveryHeaderAndPlayingGoesOn) {
  const WAVEFORMATEX format = PcmFormat(1, 16, kRate);
  Playback play(system, WAVE_MAPPER, format, ToneBytes(format, 20.0, 440, {0.3}), kFrames * format.nBlockAlign, 8);
  ASSERT_EQ(play.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(play.feed(), MMSYSERR_NOERROR);
  EXPECT_EQ(play.closeOnly(), WAVERR_STILLPLAYING);
  for (int run = 0; run < 4; ++run) {
    const std::size_t before = play.returned();
    MMRESULT fed = MMSYSERR_NOERROR;
    ASSERT_TRUE(WaitUntil([&] { return (fed = play.feed()) != MMSYSERR_NOERROR || play.returned() >= before + 2; }))
        << "run " << run << ": the device stopped playing";
    ASSERT_EQ(fed, MMSYSERR_NOERROR) << "run " << run;
    ASSERT_EQ(play.feed(), MMSYSERR_NOERROR) << "run " << run;
    ASSERT_GT(play.withDevice(), 0u) << "run " << run;
    ASSERT_EQ(play.reset(), MMSYSERR_NOERROR) << "run " << run;
    EXPECT_EQ(play.withDevice(), 0u) << "run " << run;
    EXPECT_EQ(play.returned(), play.written()) << "run " << run;
  }
  EXPECT_TRUE(play.returnedInOrderAndDone());
  ASSERT_EQ(play.close(), MMSYSERR_NOERROR);
}

// Every listed output device opens and closes; a number past them is
// refused.
TEST_F(AlsaPlayback, OpensEveryListedDeviceAndRefusesOthers) {
  const UINT count = system.waveOutGetNumDevs();
  ASSERT_GE(count, 1u) << "with a sound server there is an output device";
  const WAVEFORMATEX format = PcmFormat(1, 16, kRate);
  for (UINT id = 0; id < count; ++id) {
    Playback play(system, id, format, ToneBytes(format, 0.1, 440, {0.1}), 1024);
    ASSERT_EQ(play.open(), MMSYSERR_NOERROR) << "device " << id;
    EXPECT_EQ(play.close(), MMSYSERR_NOERROR) << "device " << id;
  }
  HWAVEOUT h = nullptr;
  EXPECT_EQ(system.waveOutOpen(&h, count, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
}

}  // namespace
