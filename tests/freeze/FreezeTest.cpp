// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A sound server that stops answering (SIGSTOP) at each moment: while
// capturing, playing and watching the mixer; at Stop; at close; at open;
// and a tool's Ctrl+C. Nothing may hang: the limits are generous, the exact
// times are bench/freeze-times'. The test runs its own private server of
// the suite's kind (never the suite's, which other tests share) and always
// continues it, also when a check fails.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "tests/support/RealStack.h"
#include "tests/support/Wait.h"
#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/NotifyWindow.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using quorvel_test::PumpFor;
using quorvel_test::PumpUntil;

const std::string kServerDir = "/tmp/quorvel-freeze-" + std::to_string(getpid());
// Against a hang only; the bound itself is well under a second.
constexpr auto kNoHang = 3s;

// Stops the private server while it lives; continues it, whatever happened.
class Frozen {
 public:
  Frozen() {
    std::ifstream(kServerDir + "/pid") >> pid_;
    if (pid_ > 0) kill(pid_, SIGSTOP);
  }
  ~Frozen() { thaw(); }
  Frozen(const Frozen&) = delete;
  Frozen& operator=(const Frozen&) = delete;
  void thaw() {
    if (pid_ > 0) kill(pid_, SIGCONT);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

template <typename Call>
Clock::duration Timed(Call&& call) {
  const auto start = Clock::now();
  call();
  return Clock::now() - start;
}

class FrozenServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { started_ = quorvel_test::RunPrivateSoundServer(kServerDir, "start"); }
  static void TearDownTestSuite() { quorvel_test::RunPrivateSoundServer(kServerDir, "stop"); }
  void SetUp() override {
    ASSERT_TRUE(started_) << "the private sound server did not start";
    audio_ = std::make_unique<audio::TAudio>(nullptr);
    audio::TRecorder& r = *audio_->Recorder;
    r.SetBitsPerSample(audio::TBPS::_16);
    r.SetSampleRate(44100);
    r.SetNoSamples(2048);
    audio_->OnRecord = [this](audio::TObject*, void*, void*, platform::WORD) { ++blocks_; };
  }
  bool startCapture() {
    audio_->Recorder->Triggered = false;
    const std::size_t before = blocks_;
    return audio_->Recorder->Start() && PumpUntil([&] { return blocks_ >= before + 2; });
  }

  static bool started_;
  std::unique_ptr<audio::TAudio> audio_;
  std::atomic<std::size_t> blocks_{0};
};
bool FrozenServer::started_ = false;

TEST_F(FrozenServer, CaptureStopsAndStartsAgainOnceTheServerAnswers) {
  ASSERT_TRUE(startCapture()) << audio_->ErrorMessage;
  {
    Frozen frozen;
    std::this_thread::sleep_for(300ms);
    bool stopped = false;
    EXPECT_LT(Timed([&] { stopped = audio_->Recorder->Stop(); }), kNoHang);
    EXPECT_TRUE(stopped) << audio_->ErrorMessage;
    EXPECT_FALSE(audio_->Recorder->DeviceOpen);
  }
  EXPECT_TRUE(startCapture()) << audio_->ErrorMessage;
  EXPECT_TRUE(audio_->Recorder->Stop());
}

// PulseAudio's plugin waits for the server to open a stream, PipeWire's
// does not: an open either fails saying why, or works and stops.
TEST_F(FrozenServer, OpeningFailsSayingWhyAndWorksOnceTheServerAnswers) {
  {
    Frozen frozen;
    bool started = true;
    EXPECT_LT(Timed([&] { started = audio_->Recorder->Start(); }), kNoHang);
    if (started) {
      EXPECT_LT(Timed([&] { audio_->Recorder->Stop(); }), kNoHang);
    } else {
      EXPECT_NE(audio_->ErrorMessage.find("did not answer"), std::string::npos) << audio_->ErrorMessage;
    }
  }
  EXPECT_TRUE(startCapture()) << audio_->ErrorMessage;
  EXPECT_TRUE(audio_->Recorder->Stop());
}

TEST_F(FrozenServer, PlayingStopsAndTheComponentClosesWithItsMixer) {
  auto tone = std::make_unique<QBuffer>();
  tone->setData(QByteArray(44100 * 2 * 10, '\0'));
  ASSERT_TRUE(tone->open(QIODevice::ReadOnly));
  audio::TPlayer& player = *audio_->Player;
  player.SetBitsPerSample(audio::TBPS::_16);
  ASSERT_TRUE(player.Play(std::move(tone))) << audio_->ErrorMessage;
  ASSERT_TRUE(startCapture()) << audio_->ErrorMessage;
  ASSERT_TRUE(PumpUntil([&] { return player.Active.load(); }));
  PumpFor(300ms);
  Frozen frozen;
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(Timed([&] { player.Stop(); }), kNoHang);
  EXPECT_FALSE(player.DeviceOpen);
  // The destructor stops the recorder and closes the mixer it watches.
  EXPECT_LT(Timed([&] { audio_.reset(); }), kNoHang);
}

// Ctrl+C ends the tool while its device is stuck in the server (PulseAudio's
// plugin waits for it to stop a stream), and the tool says why; the process
// ends though the device thread does not.
TEST_F(FrozenServer, ToolEndsOnCtrlCAndSaysWhy) {
  QProcess tool;
  tool.start(QUORVEL_TOOL_DIR "/quorvel-devices", {"--seconds", "30"});
  QByteArray out;
  while (!out.contains("block ") && tool.waitForReadyRead(10000)) out += tool.readAllStandardOutput();
  ASSERT_TRUE(out.contains("block ")) << tool.readAllStandardError().toStdString();
  Frozen frozen;
  std::this_thread::sleep_for(300ms);
  kill(static_cast<pid_t>(tool.processId()), SIGINT);
  EXPECT_TRUE(tool.waitForFinished(std::chrono::duration_cast<std::chrono::milliseconds>(kNoHang).count()));
  frozen.thaw();
  tool.waitForFinished();
  EXPECT_EQ(tool.exitCode(), 130);
  // PulseAudio's plugin holds the device in the frozen server, which the
  // tool gives up on and says so; PipeWire's lets go at once, and the tool
  // has nothing to say.
  const QString said = QString::fromLocal8Bit(tool.readAllStandardError());
  if (quorvel_test::SoundServerKind() == "pulseaudio") {
    EXPECT_TRUE(said.startsWith("quorvel-devices: the sound server did not answer within ")) << said.toStdString();
  } else {
    EXPECT_EQ(said, "");
  }
}

}  // namespace
