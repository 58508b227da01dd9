// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Result-code texts: every code has one, unknown codes have none, and the
// copy into a caller's buffer is cut to fit and always terminated.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "platform/ResultCodes.h"
#include "platform/sim/SimAudioSystem.h"

namespace platform {
namespace {

constexpr MMRESULT kCodes[] = {MMSYSERR_NOERROR,      MMSYSERR_ERROR,       MMSYSERR_BADDEVICEID, MMSYSERR_NOTENABLED,
                               MMSYSERR_ALLOCATED,    MMSYSERR_INVALHANDLE, MMSYSERR_NODRIVER,    MMSYSERR_NOMEM,
                               MMSYSERR_NOTSUPPORTED, MMSYSERR_BADERRNUM,   MMSYSERR_INVALFLAG,   MMSYSERR_INVALPARAM,
                               MMSYSERR_HANDLEBUSY,   MMSYSERR_NODRIVERCB,  WAVERR_BADFORMAT,     WAVERR_STILLPLAYING,
                               WAVERR_UNPREPARED,     WAVERR_SYNC,          MIXERR_INVALLINE,     MIXERR_INVALCONTROL,
                               MIXERR_INVALVALUE};

TEST(ErrorText, EveryCodeHasItsOwnTextThroughTheSystem) {
  sim::SimAudioSystem sim;
  std::set<std::string> seen;
  for (MMRESULT code : kCodes) {
    char text[255];
    ASSERT_EQ(sim.waveInGetErrorTextA(code, text, sizeof text), MMSYSERR_NOERROR) << code;
    EXPECT_EQ(std::string(text), std::string(ResultText(code))) << code;
    EXPECT_FALSE(seen.count(text)) << "text shared by two codes: " << text;
    seen.insert(text);
  }
  char text[255] = "untouched";
  EXPECT_EQ(sim.waveInGetErrorTextA(12345, text, sizeof text), MMSYSERR_BADERRNUM);
  EXPECT_STREQ(text, "");
}

TEST(ErrorText, CopyIsCutToFitAndTerminated) {
  char buf[8];
  std::memset(buf, 'x', sizeof buf);
  ASSERT_EQ(CopyErrorText("The command completed", buf, 5), MMSYSERR_NOERROR);
  EXPECT_STREQ(buf, "The ");
  EXPECT_EQ(buf[5], 'x');  // nothing written past the given size
  ASSERT_EQ(CopyErrorText("", buf, sizeof buf), MMSYSERR_NOERROR);
  EXPECT_STREQ(buf, "");
  ASSERT_EQ(CopyErrorText("abc", buf, 1), MMSYSERR_NOERROR);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(CopyErrorText("abc", buf, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(CopyErrorText("abc", nullptr, 8), MMSYSERR_INVALPARAM);
}

}  // namespace
}  // namespace platform
