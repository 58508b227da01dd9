// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated device's signals in every PCM format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/sim/Signal.h"
#include "tests/platform/SimDevice.h"

namespace platform::sim {
namespace {

using platform_test::Pcm;

std::vector<std::int16_t> Render16(const Signal& s, const WAVEFORMATEX& f, std::uint64_t first, std::size_t frames) {
  std::vector<std::int16_t> out(frames * f.nChannels);
  RenderSignal(s, f, first, reinterpret_cast<BYTE*>(out.data()), frames);
  return out;
}

std::vector<BYTE> Render8(const Signal& s, const WAVEFORMATEX& f, std::uint64_t first, std::size_t frames) {
  std::vector<BYTE> out(frames * f.nChannels);
  RenderSignal(s, f, first, out.data(), frames);
  return out;
}

TEST(Signal, CounterCountsFramesOnEachChannelAndWraps) {
  // Rendered in two pieces across the 16-bit wrap, as a device reads it.
  const WAVEFORMATEX f = Pcm(2, 16);
  std::vector<std::int16_t> v = Render16(Signal::Counter(), f, 65530, 4);
  const std::vector<std::int16_t> rest = Render16(Signal::Counter(), f, 65534, 4);
  v.insert(v.end(), rest.begin(), rest.end());
  for (std::size_t k = 0; k < 8; ++k) {
    const auto expected = static_cast<std::uint16_t>(65530 + k);
    EXPECT_EQ(static_cast<std::uint16_t>(v[2 * k]), expected) << k;
    EXPECT_EQ(static_cast<std::uint16_t>(v[2 * k + 1]), static_cast<std::uint16_t>(~expected)) << k;
  }
  const std::vector<BYTE> b = Render8(Signal::Counter(), Pcm(2, 8), 254, 3);
  EXPECT_EQ(b, (std::vector<BYTE>{254, 1, 255, 0, 0, 255}));
  const std::vector<BYTE> m = Render8(Signal::Counter(), Pcm(1, 8), 510, 3);
  EXPECT_EQ(m, (std::vector<BYTE>{254, 255, 0}));
}

TEST(Signal, SilenceIsZeroOrTheUnsignedMiddle) {
  const std::vector<std::int16_t> s = Render16(Signal::Silence(), Pcm(2, 16), 77, 16);
  EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](std::int16_t x) { return x == 0; }));
  const std::vector<BYTE> b = Render8(Signal::Silence(), Pcm(1, 8), 77, 16);
  EXPECT_TRUE(std::all_of(b.begin(), b.end(), [](BYTE x) { return x == 128; }));
}

TEST(Signal, SineHasItsPeriodAndAmplitude) {
  // 441 Hz at 44100: 100 frames a period; quarter periods land on samples.
  const WAVEFORMATEX f = Pcm(1, 16);
  const std::vector<std::int16_t> s = Render16(Signal::Sine(441, 0.5), f, 0, 400);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[25], 16384);  // round(32767 * 0.5)
  EXPECT_EQ(s[75], -16384);
  EXPECT_EQ(*std::max_element(s.begin(), s.end()), 16384);
  for (std::size_t k = 0; k + 100 < s.size(); ++k) ASSERT_EQ(s[k], s[k + 100]) << k;
  // Far into a run the phase is still exact.
  EXPECT_EQ(Render16(Signal::Sine(441, 0.5), f, 100'000'000'025ull, 1)[0], 16384);

  const std::vector<BYTE> b = Render8(Signal::Sine(441, 1), Pcm(1, 8), 0, 100);
  EXPECT_EQ(b[0], 128);
  EXPECT_EQ(b[25], 255);
  EXPECT_EQ(b[75], 0);
}

TEST(Signal, SamplesLoopOrEndInSilence) {
  const std::vector<std::int16_t> given{1, -2, 3, -32768, 32767};
  EXPECT_EQ(Render16(Signal::Of(given), Pcm(1, 16), 3, 5), (std::vector<std::int16_t>{-32768, 32767, 1, -2, 3}));
  EXPECT_EQ(Render16(Signal::Once(given), Pcm(1, 16), 3, 4), (std::vector<std::int16_t>{-32768, 32767, 0, 0}));
  // Stereo takes the vector as interleaved frames.
  EXPECT_EQ(Render16(Signal::Once({10, 20, 30, 40}), Pcm(2, 16), 1, 2), (std::vector<std::int16_t>{30, 40, 0, 0}));
  // 8 bits: the high byte, offset to unsigned; -1 is just below the middle.
  EXPECT_EQ(Render8(Signal::Of({-32768, -1, 0, 255, 256, 32767}), Pcm(1, 8), 0, 6),
            (std::vector<BYTE>{0, 127, 128, 128, 129, 255}));
  EXPECT_EQ(Render8(Signal::Of({}), Pcm(1, 8), 0, 2), (std::vector<BYTE>{128, 128}));
}

}  // namespace
}  // namespace platform::sim
