// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A sound server that stops answering (SIGSTOP) at each moment: while
// capturing, playing and watching the mixer; at Stop; at close; at open;
// past the stall limit; under each mixer call; and a tool's Ctrl+C. Nothing
// may hang: the limits are generous, the exact times are
// bench/freeze-times'. The test runs its own private server of the suite's
// kind (never the suite's, which other tests share) and always continues
// it, also when a check fails or a call hangs.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

#include "tests/support/RealStack.h"
#include "tests/support/Wait.h"
#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "platform/alsa/AlsaAudioSystem.h"
#include "platform/alsa/AlsaPcm.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using quorvel_test::PumpFor;
using quorvel_test::PumpUntil;

const std::string kServerDir = "/tmp/quorvel-freeze-" + std::to_string(getpid());
// Against a hang only; the bound itself is well under a second.
constexpr auto kNoHang = 3s;

// The longest a test keeps the server stopped, even when a call hangs.
constexpr auto kFrozenAtMost = 20s;

// Stops the private server while it lives; continues it, whatever happened,
// and after kFrozenAtMost at the latest, so that a call that hangs ends in
// a failed check rather than a server left stopped.
class Frozen {
 public:
  Frozen() {
    std::ifstream(kServerDir + "/pid") >> pid_;
    if (pid_ > 0) kill(pid_, SIGSTOP);
    watchdog_ = std::thread([this] {
      std::unique_lock lock(m_);
      if (!thawed_.wait_for(lock, kFrozenAtMost, [this] { return thawedFlag_; })) thaw(lock);
    });
  }
  ~Frozen() {
    thaw();
    watchdog_.join();
  }
  Frozen(const Frozen&) = delete;
  Frozen& operator=(const Frozen&) = delete;
  void thaw() {
    std::unique_lock lock(m_);
    thaw(lock);
  }

 private:
  void thaw(std::unique_lock<std::mutex>&) {
    if (pid_ > 0 && !thawedFlag_) kill(pid_, SIGCONT);
    thawedFlag_ = true;
    thawed_.notify_all();
  }

  pid_t pid_ = -1;
  std::mutex m_;
  std::condition_variable thawed_;
  bool thawedFlag_ = false;
  std::thread watchdog_;
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

// Frozen past the stall limit: the capture is reported lost within it (its
// buffers back, the recorder's error path as for a device that disappears),
// whatever stopping its stream does meanwhile.
TEST_F(FrozenServer, CaptureThatStallsIsReportedLost) {
  ASSERT_TRUE(startCapture()) << audio_->ErrorMessage;
  {
    Frozen frozen;
    EXPECT_TRUE(PumpUntil([&] { return !audio_->Recorder->DeviceOpen; }, platform::alsa::AlsaPcm::kStall + kNoHang));
    EXPECT_EQ(audio_->ErrorMessage.rfind("Error adding input buffer ", 0), 0u) << audio_->ErrorMessage;
  }
  EXPECT_TRUE(startCapture()) << audio_->ErrorMessage;
  EXPECT_TRUE(audio_->Recorder->Stop());
}

// Mixer numbers stay as they are while the server does not answer: its
// mixer fails saying why instead of another answering in its place, and no
// mixer call (reading a control, a mixer's caps, an open, a close) waits
// past the bound.
TEST_F(FrozenServer, MixersKeepTheirNumbersAndNoMixerCallWaits) {
  using namespace platform;
  alsa::AlsaAudioSystem system;
  const UINT mixers = system.mixerGetNumDevs();
  HMIXER mixer = nullptr;
  ASSERT_EQ(system.mixerOpen(&mixer, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  ASSERT_EQ(system.mixerGetLineInfoA(mixer, &line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
  MIXERCONTROLA control{};
  MIXERLINECONTROLSA controls{sizeof controls, line.dwLineID, {MIXERCONTROL_CONTROLTYPE_VOLUME}, 1,
                              sizeof control,  &control};
  ASSERT_EQ(system.mixerGetLineControlsA(mixer, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE), MMSYSERR_NOERROR);
  DWORD values[2] = {};
  MIXERCONTROLDETAILS details{sizeof details, control.dwControlID, 1, 0, sizeof(MIXERCONTROLDETAILS_UNSIGNED), values};
  {
    Frozen frozen;
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.mixerGetNumDevs(), mixers); }), kNoHang);
    MIXERCAPSA caps{};
    HMIXER another = nullptr;
    // The mixer's first read handles the events of its load: PulseAudio's
    // plugin asks the server, PipeWire's answers from what it holds. What
    // waits for the server fails saying why.
    const struct {
      const char* name;
      bool mayAnswer;
      std::function<MMRESULT()> call;
    } calls[] = {
        {"read", true, [&] { return system.mixerGetControlDetailsA(mixer, &details, MIXER_GETCONTROLDETAILSF_VALUE); }},
        {"caps", false, [&] { return system.mixerGetDevCapsA(0, &caps, sizeof caps); }},
        {"open", false, [&] { return system.mixerOpen(&another, 0, 0, 0, CALLBACK_NULL); }},
    };
    for (const auto& [name, mayAnswer, call] : calls) {
      MMRESULT rc = MMSYSERR_NOERROR;
      EXPECT_LT(Timed([&] { rc = call(); }), kNoHang) << name;
      if (mayAnswer && rc == MMSYSERR_NOERROR) continue;
      EXPECT_EQ(rc, MMSYSERR_NODRIVER) << name;
      char text[256];
      system.waveInGetErrorTextA(rc, text, sizeof text);
      EXPECT_NE(std::string(text).find("did not answer"), std::string::npos) << name << ": " << text;
    }
    EXPECT_LT(Timed([&] { EXPECT_EQ(system.mixerClose(mixer), MMSYSERR_NOERROR); }), kNoHang);
  }
  // Once the server answers, its mixer opens again.
  EXPECT_TRUE(PumpUntil([&] { return system.mixerOpen(&mixer, 0, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR; }, kNoHang));
  EXPECT_EQ(system.mixerClose(mixer), MMSYSERR_NOERROR);
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
  // The open given up on comes back once the server answers (the next ones
  // fail at once until then); opens work again from then on.
  EXPECT_TRUE(PumpUntil([&] { return startCapture(); }, kNoHang)) << audio_->ErrorMessage;
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
