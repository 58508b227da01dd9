// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The program on ALSA's default device through the private sound server,
// with the recording display library: a tone played into the null sink
// reaches the signal scope block by block and peaks in the spectrum at its
// frequency.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>

#include "FakeScopeLog.h"
#include "app/Main_unt.h"
#include "platform/NotifyWindow.h"
#include "tests/support/RealStack.h"
#include "tests/support/Wait.h"

using namespace app;
using namespace std::chrono_literals;
using quorvel_test::PumpFor;

namespace {

TEST(ProgramOnTheSoundServer, ToneReachesBothScopes) {
  if (!quorvel_test::SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/test)";
  const std::string logPath = std::getenv(quorvel::fakes::kFakeScopeLogEnv);
  std::remove(logPath.c_str());
  std::vector<std::string> messages;
  TMain_Form::MessageSink = [&](const QString& m) { messages.push_back(m.toStdString()); };
  std::optional<quorvel_test::Player> tone;
  tone.emplace(quorvel_test::SineSignal(20 * 44100, 44100, 1000, 0.5), 44100, 1, 2000);
  ASSERT_TRUE(tone->running());
  std::int32_t signal = 0, spectrum = 0;
  {
    TMain_Form form;  // the machine's sound system
    signal = SignalScope;
    spectrum = SpectrumScope;
    form.BtnStart->click();
    ASSERT_EQ(form.BtnStart->text(), "Stop") << (messages.empty() ? "" : messages[0]);
    PumpFor(3000ms);
    form.BtnStart->click();
    EXPECT_TRUE(quorvel_test::PumpUntil([&] { return !form.Timer1->isActive(); }));  // the refresh after Stop
    form.close();
  }
  tone.reset();
  TMain_Form::MessageSink = nullptr;
  EXPECT_TRUE(messages.empty());

  const auto calls = quorvel::fakes::readFakeScopeLog(logPath);
  // Per spectrum frame, whether its strongest bin is the tone's (1 kHz:
  // bin 46.4).
  long signalPoints = 0;
  std::vector<bool> tonePeak;
  int bin = -1, best = -1;
  double bestLevel = -1e9;
  for (const auto& c : calls) {
    if (c.entry != "ShowNext") continue;
    if (c.handle() == signal) ++signalPoints;
    if (c.handle() != spectrum) continue;
    const double v = c.point()[0];
    if (v == ScopeFrameMarker) {
      if (bin >= 0) tonePeak.push_back(std::abs(best - 46) <= 1);
      bin = -ScopeFrameHeaderPoints - 1;
      best = -1;
      bestLevel = -1e9;
    }
    if (bin >= 0 && v > bestLevel) {
      bestLevel = v;
      best = bin;
    }
    ++bin;
  }
  if (bin >= 0) tonePeak.push_back(std::abs(best - 46) <= 1);
  // About 64 blocks in 3 s (fewer in a sanitizer build on a busy machine,
  // the sound server starting the stream late): every block sent whole with
  // its frame, but the one Stop may cut short (it ends at its next sample,
  // without a frame), plus the refresh's point.
  const auto frames = static_cast<long>(tonePeak.size());
  EXPECT_GE(frames, 20);
  EXPECT_GE(signalPoints, 2048L * frames + 1);
  EXPECT_LT(signalPoints, 2048L * (frames + 1) + 1);
  // Once the tone is heard, it peaks in every frame (but a few where the
  // player, another process, broke up).
  const auto heard = std::find(tonePeak.begin(), tonePeak.end(), true);
  ASSERT_NE(heard, tonePeak.end()) << "the tone never came";
  EXPECT_GE(std::count(heard, tonePeak.end(), true), (tonePeak.end() - heard) - 3);
}

}  // namespace
