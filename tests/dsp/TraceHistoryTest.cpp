// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The trace's history keeps 16-bit steps while every point is one, and
// single precision from the first point that is not: either way a point
// reads back as the float it was added as.
#include "dsp/TraceHistory.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace dsp;

namespace {

// Every held point, read point by point and run by run, bit for bit (so
// that -0 and NaN count), with the runs numbered without gaps.
void expectHolds(const TraceHistory& h, const std::vector<float>& added, const char* what) {
  const int64_t first = int64_t(added.size()) - int64_t(std::min(added.size(), h.capacity()));
  ASSERT_EQ(h.begin(), first) << what;
  ASSERT_EQ(h.end(), int64_t(added.size())) << what;
  int64_t next = first;
  h.forEachRun(first, h.end(), [&](const float* v, size_t n, int64_t from) {
    ASSERT_EQ(from, next) << what;
    for (size_t k = 0; k < n; ++k, ++next) {
      EXPECT_EQ(std::bit_cast<uint32_t>(v[k]), std::bit_cast<uint32_t>(added[size_t(next)]))
          << what << ": point " << next << " run by run";
      EXPECT_EQ(std::bit_cast<uint32_t>(h.at(next)), std::bit_cast<uint32_t>(added[size_t(next)]))
          << what << ": point " << next;
    }
  });
  EXPECT_EQ(next, h.end()) << what;
}

}  // namespace

// Step values wrap the ring (and span several runs), then one point that
// is or is not a step, then more steps: every point held reads back exact,
// those from before the change of form included, and after the ring wraps
// again.
TEST(TraceHistory, EveryPointReadsBackAsAddedAcrossTheChangeToSinglePrecision) {
  struct Case {
    const char* what;
    float value;
  };
  const Case cases[] = {
      {"the lowest step, -1", -1.0f},
      {"the highest step", 32767.0f / 32768},
      {"a step's fraction", 0.1f},
      {"half a step", 0.5f / 32768},
      {"full scale, one step past the highest", 1.0f},
      {"far beyond full scale", 1e9f},
      {"minus zero", -0.0f},
      {"a subnormal", std::numeric_limits<float>::denorm_min()},
      {"not a number", std::numeric_limits<float>::quiet_NaN()},
      {"infinity", std::numeric_limits<float>::infinity()},
  };
  for (const Case& c : cases) {
    TraceHistory h(3000);
    std::vector<float> added;
    auto add = [&](float v) {
      h.add(v);
      added.push_back(v);
    };
    for (int i = 0; i < 4000; ++i) add(float((i * 7919 % 65536) - 32768) / 32768);
    add(c.value);
    expectHolds(h, added, c.what);
    for (int i = 0; i < 2500; ++i) add(float((i * 104729 % 65536) - 32768) / 32768);
    expectHolds(h, added, c.what);
    h.clear();
    added.clear();
    for (int i = 0; i < 10; ++i) add(float(i - 5) / 32768);
    expectHolds(h, added, c.what);
  }
}
