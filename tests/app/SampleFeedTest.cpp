// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Levels window's feed: a producer thread pushes a counting sequence in
// blocks of every size while the consumer takes it in blocks of its own;
// what arrives is the sequence in order, with gaps only where the ring was
// full, and the gaps add up to the samples counted as dropped.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "app/SampleFeed.h"

using app::SampleFeed;

TEST(SampleFeed, SixteenBitSamplesAndNotWanted) {
  SampleFeed feed(16);
  const std::vector<std::int16_t> block{0, 16384, -32768, 32767};
  feed.Push16(block.data(), block.size());
  std::vector<float> out(16);
  EXPECT_EQ(feed.Pop(out.data(), out.size()), 0u) << "nothing is taken while the window does not want it";
  EXPECT_EQ(feed.Dropped(), 0u);
  feed.SetWanted(true);
  feed.Push16(block.data(), block.size());
  ASSERT_EQ(feed.Pop(out.data(), out.size()), 4u);
  EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 4), (std::vector<float>{0, 0.5f, -1, 32767 / 32768.0f}));
  for (int i = 0; i < 5; ++i) feed.Push16(block.data(), block.size());
  EXPECT_EQ(feed.Dropped(), 4u) << "16 fit";
  feed.Discard();
  EXPECT_EQ(feed.Pop(out.data(), out.size()), 0u);
}

TEST(SampleFeed, ArrivesInOrderOrCountedAsDropped) {
  SampleFeed feed(1024);
  feed.SetWanted(true);
  constexpr std::uint32_t kTotal = 1 << 20;  // exact in a float
  std::atomic<bool> done{false};
  std::thread producer([&] {
    std::vector<float> block(3000);
    std::uint32_t next = 0, size = 1;
    while (next < kTotal) {
      const std::uint32_t n = std::min(size, kTotal - next);
      for (std::uint32_t i = 0; i < n; ++i) block[i] = float(next + i);
      feed.Push(block.data(), n);
      next += n;
      size = size % 2999 + 1;
    }
    done = true;
  });
  std::vector<float> out(700);
  std::uint64_t received = 0, gaps = 0;
  std::uint32_t expected = 0;
  bool ordered = true;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < limit) {
    const bool finished = done.load();
    const std::size_t n = feed.Pop(out.data(), 1 + received % out.size());
    for (std::size_t i = 0; i < n; ++i) {
      const auto v = std::uint32_t(out[i]);
      ordered = ordered && v >= expected;
      gaps += v - expected;
      expected = v + 1;
    }
    received += n;
    if (finished && n == 0) break;
  }
  producer.join();
  gaps += kTotal - expected;
  EXPECT_TRUE(ordered);
  EXPECT_EQ(received + feed.Dropped(), kTotal) << "every sample arrived or was counted";
  EXPECT_EQ(gaps, feed.Dropped()) << "samples go missing only where they were counted";
}
