// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A question to a device that may not answer (is the sound server there?):
// no answer within the bound is none, and so is every asking until that one
// comes back; the question, with all it holds, outlives the call that gave
// up on it (AddressSanitizer watches it run on).
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/BoundedCall.h"
#include "tests/support/Wait.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(BoundedProbe, NoAnswerInTimeIsNoneAndTheLateProbeKeepsWhatItHolds) {
  BoundedProbe probe;
  std::atomic<bool> letGo{false}, finished{false};
  std::string seen;
  {
    const std::string name = "a device name longer than a short string holds";
    EXPECT_EQ(probe.ask(50ms,
                        [name, &letGo, &finished, &seen] {
                          quorvel_test::WaitUntil([&] { return letGo.load(); });
                          seen = name;
                          finished = true;
                          return true;
                        }),
              BoundedProbe::Answer::None);
  }
  EXPECT_EQ(probe.ask(quorvel_test::kWaitLimit, [] { return true; }), BoundedProbe::Answer::None)
      << "the first asking has not come back";
  letGo = true;
  ASSERT_TRUE(quorvel_test::WaitUntil([&] { return finished.load(); }));
  EXPECT_EQ(seen, "a device name longer than a short string holds");
  EXPECT_TRUE(quorvel_test::WaitUntil(
      [&] { return probe.ask(quorvel_test::kWaitLimit, [] { return true; }) == BoundedProbe::Answer::Yes; }));
  EXPECT_EQ(probe.ask(quorvel_test::kWaitLimit, [] { return false; }), BoundedProbe::Answer::No);
}

}  // namespace
}  // namespace platform
