// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window with the simulated device and the recording display
// library. Which library the window finds is chosen per test process through
// LD_LIBRARY_PATH (see CMakeLists.txt); QUORVEL_MISSING names the entry point
// the library lacks, or "library" when there is none.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cmath>
#include <functional>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "FakeScopeLog.h"
#include "analysis/FFT_Unit.h"
#include "app/InputWindow.h"
#include "app/LevelMeter.h"
#include "app/Main_unt.h"
#include "audio/Recorder.h"
#include "audio/Texts.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/FaultInjection.h"
#include "platform/sim/SimAudioSystem.h"
#include "tests/support/Wait.h"

using namespace app;
using Call = platform::AudioCall;
using platform::sim::Pacing;
using platform::sim::Signal;
using platform::sim::SimAudioSystem;
using quorvel::fakes::FakeScopeCall;
using quorvel_test::PumpUntil;
using quorvel_test::WaitUntil;
using namespace std::chrono_literals;

namespace {

std::string LogPath() { return std::getenv(quorvel::fakes::kFakeScopeLogEnv); }
std::string Missing() {
  const char* m = std::getenv("QUORVEL_MISSING");
  return m ? m : "";
}

// The fake library's test controls, from the copy the window has loaded.
struct FakeControls {
  quorvel::fakes::FakeScopeHoldShowNextFn hold = nullptr;
  quorvel::fakes::FakeScopeHoldingFn holding = nullptr;
  quorvel::fakes::FakeScopeReleaseFn release = nullptr;
  quorvel::fakes::FakeScopeSetCallHookFn setCallHook = nullptr;

  FakeControls() {
    void* lib = dlopen(kScopeLibrary, RTLD_NOW | RTLD_NOLOAD);
    if (lib == nullptr) return;
    hold = reinterpret_cast<decltype(hold)>(dlsym(lib, "FakeScopeHoldShowNext"));
    holding = reinterpret_cast<decltype(holding)>(dlsym(lib, "FakeScopeHolding"));
    release = reinterpret_cast<decltype(release)>(dlsym(lib, "FakeScopeRelease"));
    setCallHook = reinterpret_cast<decltype(setCallHook)>(dlsym(lib, "FakeScopeSetCallHook"));
    dlclose(lib);  // the window's own reference keeps it loaded
  }
  bool valid() const { return hold && holding && release && setCallHook; }
};

class MainForm : public testing::Test {
 protected:
  void SetUp() override {
    std::remove(LogPath().c_str());
    TMain_Form::MessageSink = [this](const QString& m) { messages.push_back(m.toStdString()); };
    sim.setPacing(Pacing::Manual);
    // Full scale both ways, then a ramp.
    std::vector<std::int16_t> s(2048);
    for (int i = 0; i < 2048; ++i) s[i] = static_cast<std::int16_t>(i * 16 - 16384);
    s[0] = -32768;
    s[1] = 32767;
    sim.setSignal(Signal::Of(s));
  }
  void TearDown() override { TMain_Form::MessageSink = nullptr; }

  std::vector<FakeScopeCall> log() const { return quorvel::fakes::readFakeScopeLog(LogPath()); }

  SimAudioSystem sim;
  platform::FaultInjection faults{sim};
  std::vector<std::string> messages;
};

TEST_F(MainForm, LoadsCapturesRefreshesAndClosesInOrder) {
  if (!Missing().empty()) GTEST_SKIP();
  std::int32_t signal = 0, spectrum = 0;
  {
    TMain_Form form(&sim);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(ScopesLoaded);
    signal = SignalScope;
    spectrum = SpectrumScope;
    EXPECT_EQ(form.windowTitle(), "   Quorvel audio");
    EXPECT_TRUE(form.CheckFFT->isChecked());
    EXPECT_EQ(form.AudioM->Recorder->NoSamples, 2048);

    form.BtnStart->click();
    ASSERT_EQ(form.BtnStart->text(), "Stop") << (messages.empty() ? "" : messages[0]);
    sim.release(2048);
    ASSERT_TRUE(PumpUntil([&] { return sim.buffersDelivered() >= 1; }));
    form.BtnStart->click();
    EXPECT_EQ(form.BtnStart->text(), "Start");
    EXPECT_TRUE(form.Timer1->isActive());
    ASSERT_TRUE(PumpUntil([&] { return !form.Timer1->isActive(); }));  // the refresh after Stop
    form.close();
  }
  const auto calls = log();
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(calls[0].entry, "AtOpenLib");
  EXPECT_EQ(calls[0].intArg(0), 0);
  EXPECT_EQ(calls[1].entry, "ScopeCreate");
  EXPECT_FALSE(calls[1].scopeName.has_value());
  EXPECT_EQ(calls[2].entry, "ScopeShow");
  EXPECT_EQ(calls[3].entry, "ScopeCreate");
  EXPECT_EQ(calls[3].scopeName.value_or(""), "FFT");
  EXPECT_EQ(calls[4].entry, "ScopeShow");

  std::vector<double> values;
  std::vector<std::string> tail;
  int frame = 0;
  for (std::size_t i = 5; i < calls.size(); ++i) {
    const bool show = calls[i].entry == "ShowNext";
    if (show && calls[i].handle() == signal && tail.empty() && frame == 0)
      values.push_back(calls[i].point()[0]);
    else if (show && calls[i].handle() == spectrum && tail.empty()) {
      // The block's spectrum frame follows its samples.
      if (frame == 0) {
        EXPECT_EQ(calls[i].point()[0], 1000000000.0);
      }
      ++frame;
    } else {
      tail.push_back(calls[i].entry + ":" + std::to_string(calls[i].handle()));
    }
  }
  EXPECT_EQ(frame, 1044);
  // One block: exactly 2048 points, sample / 32768 in single precision.
  ASSERT_EQ(values.size(), 2048u);
  EXPECT_EQ(values[0], -1.0);
  EXPECT_EQ(values[1], 32767.0 / 32768.0);
  EXPECT_EQ(values[100], static_cast<double>(static_cast<float>((100 * 16 - 16384) / 32768.0f)));
  const std::vector<std::string> expected = {
      "ShowNext:" + std::to_string(signal),       "QuickUpDate:" + std::to_string(signal),
      "ShowNext:" + std::to_string(spectrum),     "QuickUpDate:" + std::to_string(spectrum),
      "ScopeDestroy:" + std::to_string(spectrum), "ScopeDestroy:" + std::to_string(signal)};
  EXPECT_EQ(tail, expected);
}

// The device's thread is held inside the 100th point of a block; Stop
// clears Busy before it waits for the device, and once Busy is clear the
// point is let go. The block ends there, without a spectrum frame.
TEST_F(MainForm, StopDuringABlockSendsNoMoreOfItAndNoSpectrumFrame) {
  if (!Missing().empty()) GTEST_SKIP();
  std::int32_t signal = 0, spectrum = 0;
  {
    TMain_Form form(&sim);
    signal = SignalScope;
    spectrum = SpectrumScope;
    const FakeControls fake;
    ASSERT_TRUE(fake.valid());
    fake.hold(100);
    form.BtnStart->click();
    sim.release(2048);
    ASSERT_TRUE(WaitUntil([&] { return fake.holding(); }));
    std::thread releaser([&] {
      WaitUntil([&] { return !form.Busy.load(); });
      fake.release();
    });
    form.BtnStart->click();
    releaser.join();
    EXPECT_EQ(form.BtnStart->text(), "Start");
    EXPECT_FALSE(form.Busy);
    form.close();
  }
  int points = 0, frames = 0;
  for (const auto& c : log()) {
    if (c.entry != "ShowNext") continue;
    points += c.handle() == signal;
    frames += c.handle() == spectrum && c.point()[0] == ScopeFrameMarker;
  }
  EXPECT_EQ(points, 100);
  EXPECT_EQ(frames, 0);
}

// What the sim and the window say when a scope is destroyed.
struct DestroySeen {
  std::int32_t scope;
  bool deviceOpen;
  std::uint64_t closes;
  bool operator==(const DestroySeen&) const = default;
};
std::vector<DestroySeen> destroys;
const TMain_Form* destroyingForm = nullptr;
const SimAudioSystem* destroyingSim = nullptr;

void NoteDestroy(const char* entry, std::int32_t handle) {
  if (std::string(entry) != "ScopeDestroy") return;
  destroys.push_back({handle, destroyingForm->AudioM->Recorder->DeviceOpen, destroyingSim->closesDelivered()});
}

TEST_F(MainForm, ClosingWhileCapturingStopsCaptureThenDestroysTheSpectrumScopeFirst) {
  if (!Missing().empty()) GTEST_SKIP();
  destroys.clear();
  std::int32_t signal = 0, spectrum = 0;
  {
    TMain_Form form(&sim);
    signal = SignalScope;
    spectrum = SpectrumScope;
    const FakeControls fake;
    ASSERT_TRUE(fake.valid());
    destroyingForm = &form;
    destroyingSim = &sim;
    fake.setCallHook(&NoteDestroy);
    form.BtnStart->click();
    sim.release(2048 * 2);
    ASSERT_TRUE(PumpUntil([&] { return sim.buffersDelivered() >= 2; }));
    ASSERT_EQ(form.BtnStart->text(), "Stop");
    form.close();
  }
  EXPECT_EQ(destroys, (std::vector<DestroySeen>{{spectrum, false, 1}, {signal, false, 1}}));
}

TEST_F(MainForm, UntickedFftSendsNoSpectrumFrame) {
  if (!Missing().empty()) GTEST_SKIP();
  std::int32_t spectrum = 0;
  {
    TMain_Form form(&sim);
    spectrum = SpectrumScope;
    form.CheckFFT->click();
    ASSERT_FALSE(form.CheckFFT->isChecked());
    const float level = analysis::LevelSmoothing[10].Level;
    form.BtnStart->click();
    sim.release(2048 * 2);
    ASSERT_TRUE(PumpUntil([&] { return sim.buffersDelivered() >= 2; }));
    form.BtnStart->click();
    EXPECT_EQ(analysis::LevelSmoothing[10].Level, level);
  }
  int spectrumPoints = 0;
  for (const auto& c : log()) spectrumPoints += c.entry == "ShowNext" && c.handle() == spectrum;
  EXPECT_EQ(spectrumPoints, 0);
}

// The window's own message, exact, and under it the component's reason.
TEST_F(MainForm, FailedStartAndStopShowTheirMessagesWithTheReason) {
  if (!Missing().empty()) GTEST_SKIP();
  TMain_Form form(&faults);
  faults.failCall(Call::waveInOpen, platform::MMSYSERR_NOMEM);
  form.BtnStart->click();
  EXPECT_EQ(form.BtnStart->text(), "Start");
  ASSERT_EQ(messages.size(), 1u);
  ASSERT_FALSE(form.AudioM->ErrorMessage.empty());
  EXPECT_EQ(messages[0], "Error: recordind does not start.\n" + audio::ForUser(form.AudioM->ErrorMessage));
  EXPECT_EQ(messages[0].find("  "), std::string::npos) << messages[0];

  form.BtnStart->click();
  ASSERT_EQ(form.BtnStart->text(), "Stop");
  faults.failCall(Call::waveInReset, platform::MMSYSERR_NOMEM);
  form.BtnStart->click();
  EXPECT_EQ(form.BtnStart->text(), "Start");
  EXPECT_EQ(messages.back(), "Error: recordind does not stop.\n" + audio::ForUser(form.AudioM->ErrorMessage));
  faults.clearFaults();
  form.AudioM->Recorder->Stop();
}

TEST_F(MainForm, OverlappingBlockIsDroppedAndReported) {
  if (!Missing().empty()) GTEST_SKIP();
  TMain_Form form(&sim);
  form.LastSampleIndex = 2047;
  std::int16_t block[2048] = {};
  form.Busy = true;
  form.AudioMRecord(nullptr, block, nullptr, sizeof block);
  EXPECT_TRUE(form.Busy);  // not changed
  ASSERT_TRUE(PumpUntil([&] { return !messages.empty(); }));
  EXPECT_EQ(messages, std::vector<std::string>{"Overlapping!"});
}

// A short block is shown short; an empty one (delivered once the trigger
// has fired) sends nothing to either scope.
TEST_F(MainForm, ShortBlockIsShownShortAndAnEmptyOneNotAtAll) {
  if (!Missing().empty()) GTEST_SKIP();
  std::int32_t signal = 0, spectrum = 0;
  {
    TMain_Form form(&sim);
    signal = SignalScope;
    spectrum = SpectrumScope;
    form.LastSampleIndex = 2047;
    std::int16_t block[2048] = {};
    form.AudioMRecord(nullptr, block, nullptr, 100);  // 50 samples
    const float level = analysis::LevelSmoothing[10].Level;
    form.AudioMRecord(nullptr, block, nullptr, 0);
    form.AudioMRecord(nullptr, block, nullptr, 1);  // not even one sample
    EXPECT_FALSE(form.Busy);
    EXPECT_EQ(analysis::LevelSmoothing[10].Level, level);
  }
  int points = 0, spectrumPoints = 0;
  for (const auto& c : log()) {
    points += c.entry == "ShowNext" && c.handle() == signal;
    spectrumPoints += c.entry == "ShowNext" && c.handle() == spectrum;
  }
  EXPECT_EQ(points, 50);
  EXPECT_EQ(spectrumPoints, 1044);
}

TEST_F(MainForm, ComponentGoneAtSessionEndIsNotCalled) {
  if (!Missing().empty()) GTEST_SKIP();
  TMain_Form form(&sim);
  form.BtnStart->click();
  form.AudioM->NotifyWindow->send(platform::WM_QUERYENDSESSION, 0, 0);
  EXPECT_TRUE(form.AudioM.isNull());
  form.BtnStart->click();
  EXPECT_EQ(form.BtnStart->text(), "Start");
  form.close();
}

// Run once per missing entry point, and once without any library.
TEST_F(MainForm, LoadingFailureLeavesCaptureWorkingAndSendsNothing) {
  static const std::map<std::string, int> kNumber = {
      {"library", 1},   {"AtOpenLib", 2}, {"ShowNext", 3},          {"ScopeCreate", 4}, {"ScopeDestroy", 5},
      {"ScopeShow", 6}, {"ScopeHide", 7}, {"ScopeCleanBuffers", 8}, {"QuickUpDate", 9}, {"ExternalNext", 10}};
  const std::string missing = Missing();
  if (missing.empty()) GTEST_SKIP();
  const int number = kNumber.at(missing);
  {
    TMain_Form form(&sim);
    ASSERT_EQ(messages, std::vector<std::string>{"Error DLL loading " + std::to_string(number)});
    EXPECT_FALSE(ScopesLoaded);
    EXPECT_EQ(form.LibHandle, nullptr);
    form.BtnStart->click();
    ASSERT_EQ(form.BtnStart->text(), "Stop");
    sim.release(2048);
    ASSERT_TRUE(PumpUntil([&] { return sim.buffersDelivered() >= 1; }));
    form.BtnStart->click();
    EXPECT_EQ(form.BtnStart->text(), "Start");
    ASSERT_TRUE(PumpUntil([&] { return !form.Timer1->isActive(); }));  // the refresh after Stop
    form.close();
  }
  if (number == 1) {
    EXPECT_FALSE(std::ifstream(LogPath()).good());  // the library never loaded
    return;
  }
  const auto calls = log();
  if (number == 2) {
    EXPECT_TRUE(calls.empty());
  } else {
    // AtOpenLib was called as soon as it was found, and nothing after it.
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].entry, "AtOpenLib");
  }
}

}  // namespace

// The strip's menu brings closed scopes back through ScopeShow; its input
// window lists the devices, meters the blocks, and moves capture to another
// device with the run's refresh in between.
TEST_F(MainForm, TheMenuReopensScopesAndTheInputWindowMovesCapture) {
  if (!Missing().empty()) GTEST_SKIP();
  std::int32_t signal = 0;
  std::vector<std::string> order;
  {
    TMain_Form form(&sim);
    signal = SignalScope;
    auto entry = [&](const QString& text) {
      for (QAction* a : form.Menu->actions())
        if (a->text() == text) return a;
      return static_cast<QAction*>(nullptr);
    };
    ASSERT_TRUE(entry("Signal scope") && entry("Spectrum scope") && entry("Input…"));
    entry("Signal scope")->trigger();
    int shown = 0;
    for (const auto& c : log()) shown += c.entry == "ScopeShow" && c.handle() == signal;
    EXPECT_EQ(shown, 2) << "once at load, once from the menu";

    entry("Input…")->trigger();
    ASSERT_TRUE(form.Input && form.Input->isVisible());
    EXPECT_EQ(form.Input->Devices->count(), int(sim.waveInGetNumDevs()) + 1) << "the default input, then each device";
    EXPECT_EQ(form.Input->Devices->currentData().toInt(), -1);

    form.BtnStart->click();
    sim.release(2048);
    ASSERT_TRUE(PumpUntil([&] { return form.Levels.Latest().block >= 1; }));
    // The signal holds both 16-bit limits.
    EXPECT_TRUE(form.Levels.Latest().clipped);
    EXPECT_NEAR(form.Levels.Latest().peakDb, 0, 1e-9);

    form.ChooseInput(0);
    EXPECT_EQ(form.AudioM->AudioDeviceID, 0);
    EXPECT_EQ(form.BtnStart->text(), "Stop");
    EXPECT_EQ(sim.lastDeviceId(), 0u);
    EXPECT_EQ(form.Input->Devices->currentData().toInt(), 0);
    sim.release(2048);
    ASSERT_TRUE(PumpUntil([&] { return form.Levels.Latest().block >= 2; }));
    form.BtnStart->click();
    form.close();
  }
  // The first run's refresh came before the second run's points.
  bool refreshed = false, pointsAfter = false;
  for (const auto& c : log()) {
    if (c.entry == "QuickUpDate" && c.handle() == signal) refreshed = true;
    if (refreshed && c.entry == "ShowNext" && c.handle() == signal) pointsAfter = true;
  }
  EXPECT_TRUE(refreshed && pointsAfter);
}

// Known blocks read their levels per AES17: a full-scale sine is 0 dBFS
// both as peak and as RMS.
TEST(InputLevel, KnownBlocksReadTheirLevels) {
  struct Case {
    const char* name;
    std::function<int(int)> sample;
    double peakDb, rmsDb;
    bool clipped;
  };
  const double pi = 3.14159265358979323846;
  const std::vector<Case> cases{
      {"silence", [](int) { return 0; }, kSilenceDb, kSilenceDb, false},
      {"-6 dBFS sine", [&](int i) { return int(std::lround(16384 * std::sin(2 * pi * i / 64))); }, -6.02, -6.02, false},
      {"full-scale square", [](int i) { return i % 64 < 32 ? 32767 : -32767; }, 0, 3.01, true},
      {"one sample of -32768", [](int i) { return i == 5 ? -32768 : 0; }, 0, -33.11 + 3.01, true},
  };
  for (const Case& c : cases) {
    std::vector<std::int16_t> block(2048);
    for (int i = 0; i < 2048; ++i) block[std::size_t(i)] = std::int16_t(c.sample(i));
    InputLevels levels;
    levels.Measure(block.data(), block.size());
    const InputLevel l = levels.Latest();
    EXPECT_EQ(l.block, 1u) << c.name;
    EXPECT_NEAR(l.peakDb, c.peakDb, 0.01) << c.name;
    EXPECT_NEAR(l.rmsDb, c.rmsDb, 0.01) << c.name;
    EXPECT_EQ(l.clipped, c.clipped) << c.name;
  }
}
