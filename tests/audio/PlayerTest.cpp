// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The player on the simulated device: what reaches the device, the events
// and their senders, loops, every failure of its table, and the mended
// faults (closing at the end of the data, a Stop that always ends, storage
// never freed under the device).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "audio/Audio.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "platform/FaultInjection.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"
#include "tests/audio/AudioFixture.h"
#include "tests/support/Wait.h"
#include "tests/support/WavFile.h"

using namespace audio;
using namespace platform;
using Call = platform::AudioCall;
using platform::sim::Pacing;
using platform::sim::SimAudioSystem;
using quorvel_test::PumpUntil;

namespace {

constexpr std::size_t kBuffer = 4096;  // BufferBytes with the main window's settings
const std::string kNoMem = "There is not enough memory for the device.";

std::vector<char> Pattern(std::size_t bytes) {
  std::vector<char> data(bytes);
  for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return data;
}

std::unique_ptr<QIODevice> StreamOf(const std::vector<char>& data) {
  auto buffer = std::make_unique<QBuffer>();
  buffer->setData(data.data(), static_cast<qsizetype>(data.size()));
  buffer->open(QIODevice::ReadOnly);
  return buffer;
}

std::vector<char> Repeat(const std::vector<char>& data, int times, std::size_t from = 0) {
  std::vector<char> out(data.begin() + static_cast<std::ptrdiff_t>(from), data.end());
  for (int i = 1; i < times; ++i) out.insert(out.end(), data.begin(), data.end());
  return out;
}

// Handles messages of one window only, until `done` holds.
bool DispatchUntil(NotifyWindow* window, const std::function<bool()>& done) {
  return quorvel_test::WaitUntil([&] {
    window->dispatchPending();
    return done();
  });
}

struct Player : ::testing::Test {
  SimAudioSystem sim;
  FaultInjection faults{sim};
  std::unique_ptr<TAudio> owned;
  TAudio* audio = nullptr;
  std::vector<TObject*> bufferSenders;
  std::vector<TObject*> playedSenders;

  void SetUp() override { Make(Pacing::Unpaced); }

  void Make(Pacing pacing) {
    owned.reset();
    sim.setPacing(pacing);
    owned = std::make_unique<TAudio>(nullptr, &faults);
    audio = owned.get();
    audio_test::ApplyMainWindowSettings(*audio);
    audio->OnBufferPlayed = [this](TObject* s) { bufferSenders.push_back(s); };
    audio->OnPlayed = [this](TObject* s) { playedSenders.push_back(s); };
  }
  TPlayer& player() { return *audio->Player; }
  std::vector<char> played() {
    const std::vector<BYTE> p = sim.playedBytes();
    return {p.begin(), p.end()};
  }
  bool PumpUntilPlayed(std::size_t n = 1) {
    return PumpUntil([&] { return playedSenders.size() >= n && !player().Active.load(); });
  }
  void ReleaseBuffer() { sim.releasePlayback(kBuffer / 2); }
};

TEST_F(Player, PlaysEveryByteInOrderWithBothEventsAndTheirSenders) {
  const std::vector<char> data = Pattern(3 * kBuffer + 1000);
  ASSERT_TRUE(player().Play(StreamOf(data)));
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_EQ(played(), data);
  ASSERT_EQ(bufferSenders.size(), 4u);  // three whole buffers and the short last one
  for (TObject* s : bufferSenders) EXPECT_EQ(s, audio);
  ASSERT_EQ(playedSenders.size(), 1u);
  EXPECT_EQ(playedSenders[0], &player());
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_EQ(player().Stream, nullptr);
  EXPECT_EQ(sim.outputsOpen(), 0u);
  EXPECT_EQ(sim.lastOutputFormat().nSamplesPerSec, 44100u);
  EXPECT_EQ(sim.lastOutputFormat().wBitsPerSample, 16);
}

TEST_F(Player, StreamShorterThanOneBufferIsWrittenWithItsOwnLength) {
  Make(Pacing::Manual);
  const std::vector<char> data = Pattern(1000);
  ASSERT_TRUE(player().Play(StreamOf(data)));
  // The first refill wrote it; the second read nothing and released it.
  EXPECT_EQ(player().Headers[0]->dwBufferLength, 1000u);
  EXPECT_EQ(player().QueuedCount, 1);
  EXPECT_EQ(player().Stream, nullptr);
  // A refill without a stream does not touch the device.
  const unsigned writes = faults.calls(Call::waveOutWrite), prepares = faults.calls(Call::waveOutPrepareHeader);
  EXPECT_EQ(player().Refill(), 0);
  EXPECT_EQ(faults.calls(Call::waveOutWrite), writes);
  EXPECT_EQ(faults.calls(Call::waveOutPrepareHeader), prepares);

  sim.releasePlayback(500);
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_EQ(played(), data);
  EXPECT_EQ(bufferSenders.size(), 1u);
}

TEST_F(Player, LoopsReplayFromTheStartJoinedAtTheFirstEmptyRead) {
  const std::vector<char> data = Pattern(kBuffer + 904);
  ASSERT_TRUE(player().Play(StreamOf(data), 0, 2));
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_EQ(played(), Repeat(data, 3));
  // Each pass ends in its own short buffer: two buffers per pass.
  EXPECT_EQ(bufferSenders.size(), 6u);
  EXPECT_EQ(player().LoopCount, 0);
}

TEST_F(Player, StartsAtThePositionAndLeavesTheStreamsOwnPosition) {
  Make(Pacing::Manual);
  const std::vector<char> data = Pattern(5 * kBuffer);
  ASSERT_TRUE(player().Play(StreamOf(data), 100, 1));
  EXPECT_EQ(player().Stream->pos(), 0);
  EXPECT_EQ(player().PlayPosition, static_cast<std::int32_t>(100 + 3 * kBuffer));
  sim.releasePlayback(1u << 20);
  ASSERT_TRUE(PumpUntilPlayed());
  // The loop goes back to byte 0, not to the start position.
  EXPECT_EQ(played(), Repeat(data, 2, 100));
}

TEST_F(Player, AnEmptyStreamEndsAtOnce) {
  ASSERT_TRUE(player().Play(StreamOf({})));
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_EQ(faults.calls(Call::waveOutWrite), 0u);
  EXPECT_TRUE(bufferSenders.empty());
  EXPECT_FALSE(player().DeviceOpen);
}

TEST_F(Player, StopOrCloseBeforeAnythingWasPlayedSaysAlreadyClosed) {
  player().Stop();
  EXPECT_EQ(audio->ErrorMessage, "Player already closed");
  EXPECT_EQ(faults.calls(Call::waveOutReset), 0u);
  audio->ErrorMessage.clear();
  player().CloseDevice();
  EXPECT_EQ(audio->ErrorMessage, "Player already closed");
  EXPECT_EQ(faults.calls(Call::waveOutUnprepareHeader), 0u);
  EXPECT_TRUE(playedSenders.empty());
}

// The played-buffer step fires OnBufferPlayed first, with the ring as the
// completion found it and no refill asked for yet; then the refill request
// waits at its window, DoneIndex has moved on and one buffer less is queued.
TEST_F(Player, APlayedBufferIsReportedBeforeTheRingMoves) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(10 * kBuffer))));
  ASSERT_TRUE(DispatchUntil(audio->NotifyWindow, [&] { return player().Active.load(); }));
  std::vector<std::int32_t> seen;
  audio->OnBufferPlayed = [&](TObject*) {
    player().RefillWindow->dispatchPending();  // nothing to do yet
    seen = {player().DoneIndex.load(), player().QueuedCount, player().QueueIndex};
  };
  ReleaseBuffer();
  ASSERT_TRUE(DispatchUntil(audio->NotifyWindow, [&] { return !seen.empty(); }));
  EXPECT_EQ(seen, (std::vector<std::int32_t>{0, 3, 3}));
  EXPECT_EQ(player().DoneIndex.load(), 1);
  EXPECT_EQ(player().QueuedCount, 2);
  player().RefillWindow->dispatchPending();
  EXPECT_EQ(player().QueueIndex, 0);
  EXPECT_EQ(player().QueuedCount, 3);
  player().Stop();
}

TEST_F(Player, StopWithAStreamClosesWithoutReportingTheReturnedBuffers) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(10 * kBuffer))));
  ASSERT_TRUE(PumpUntil([&] { return player().Active.load(); }));
  audio->ErrorMessage = "earlier failure";
  player().Stop();
  EXPECT_EQ(audio->ErrorMessage, "");
  EXPECT_EQ(faults.calls(Call::waveOutReset), 1u);
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_FALSE(player().Active.load());
  EXPECT_TRUE(bufferSenders.empty());
  EXPECT_EQ(playedSenders.size(), 1u);
  EXPECT_EQ(sim.outputsOpen(), 0u);
}

TEST_F(Player, StopRightAfterTheStartWaitsForTheDeviceToClose) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(10 * kBuffer))));
  player().Stop();  // the open notification is not handled yet
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_FALSE(player().Active.load());
  EXPECT_EQ(sim.outputsOpen(), 0u);
}

TEST_F(Player, StopWhileTheCloseIsPostedIssuesNoReset) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(1000))));
  ASSERT_TRUE(PumpUntil([&] { return player().Active.load(); }));
  sim.releasePlayback(500);
  // Only the component's window: the completion posts the close request,
  // which waits at the player's close window.
  ASSERT_TRUE(DispatchUntil(audio->NotifyWindow, [&] { return player().ClosePosted; }));
  ASSERT_TRUE(player().DeviceOpen);
  player().Stop();
  EXPECT_EQ(faults.calls(Call::waveOutReset), 0u);
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_EQ(playedSenders.size(), 1u);
  // It stays set until a refill finds a stream.
  EXPECT_TRUE(player().ClosePosted);
}

// The refill and close requests of one playing wait at two windows, with
// no order between them. Here the close runs first and OnPlayed starts the
// next playing at once; the first playing's refill request, handled after
// that, must not write a fourth buffer into the new playing (its next
// completion would be taken for the end, and the close would fail).
TEST_F(Player, ARequestOfAnEarlierPlayingDoesNotActOnTheNext) {
  Make(Pacing::Manual);
  const std::vector<char> next = Pattern(10 * kBuffer);
  audio->OnPlayed = [&](TObject* s) {
    playedSenders.push_back(s);
    if (playedSenders.size() == 1) {
      EXPECT_TRUE(player().Play(StreamOf(next))) << audio->ErrorMessage;
    }
  };
  ASSERT_TRUE(player().Play(StreamOf(Pattern(1000))));
  ASSERT_TRUE(DispatchUntil(audio->NotifyWindow, [&] { return player().Active.load(); }));
  sim.releasePlayback(500);
  ASSERT_TRUE(DispatchUntil(audio->NotifyWindow, [&] { return player().ClosePosted; }));
  player().CloseWindow->dispatchPending();
  ASSERT_EQ(playedSenders.size(), 1u);
  ASSERT_EQ(player().QueuedCount, 3);
  player().RefillWindow->dispatchPending();
  EXPECT_EQ(player().QueuedCount, 3);
  sim.releasePlayback(1u << 20);
  ASSERT_TRUE(PumpUntilPlayed(2)) << audio->ErrorMessage;
  EXPECT_EQ(played(), next);
  EXPECT_EQ(sim.outputsOpen(), 0u);
}

TEST_F(Player, ACompletionBeforeTheOpenNotificationIsIgnored) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(10 * kBuffer))));
  player().Active.store(false);
  audio->NotifyWindow->send(MM_WOM_DONE, reinterpret_cast<WPARAM>(player().WaveOutHandle), 0);
  EXPECT_EQ(player().DoneIndex.load(), 0);
  EXPECT_EQ(player().QueuedCount, 3);
  EXPECT_TRUE(bufferSenders.empty());
  player().Stop();
}

TEST_F(Player, CloseWithAStreamAttachedKeepsTheSwitchedFormat) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(10 * kBuffer))));
  player().RestoreFormat = true;
  player().SavedSampleRate = 8000;
  ASSERT_EQ(sim.waveOutReset(player().WaveOutHandle), MMSYSERR_NOERROR);
  player().CloseDevice();
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_TRUE(player().RestoreFormat);
  EXPECT_EQ(player().SampleRate, 44100);
  player().Stream.reset();
  PumpUntil([&] { return !player().Active.load(); });
}

TEST_F(Player, RefusesToStartWithoutWhatItNeeds) {
  ASSERT_TRUE(player().Play(StreamOf(Pattern(kBuffer))));
  EXPECT_FALSE(player().Play(StreamOf(Pattern(kBuffer))));
  EXPECT_EQ(audio->ErrorMessage, "Player is already playing");
  ASSERT_TRUE(PumpUntilPlayed());

  EXPECT_FALSE(player().Play(nullptr));
  EXPECT_EQ(audio->ErrorMessage, "No stream to play");
  EXPECT_FALSE(player().Play(StreamOf(Pattern(10)), -1));
  EXPECT_EQ(audio->ErrorMessage, "Play position out of range: -1");

  faults.failCall(Call::waveOutOpen, MMSYSERR_ALLOCATED);
  EXPECT_FALSE(player().Play(StreamOf(Pattern(10))));
  EXPECT_EQ(audio->ErrorMessage,
            "Could not open the output device for playing:  "
            "The device is already in use by another program.");
  EXPECT_FALSE(player().DeviceOpen);

  // The device refuses the first buffer: nothing would ever close it.
  faults.failCall(Call::waveOutWrite, MMSYSERR_NOMEM);
  EXPECT_FALSE(player().Play(StreamOf(Pattern(10))));
  EXPECT_EQ(audio->ErrorMessage, "Could not start playing: " + kNoMem);
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_EQ(sim.outputsOpen(), 0u);

  SimAudioSystem silent;
  silent.setOutputDevices(0);
  TAudio none(nullptr, &silent);
  EXPECT_FALSE(none.Player->Play(StreamOf(Pattern(10))));
  EXPECT_EQ(none.ErrorMessage, "No wave buffers for playing");
}

// A stream of `size` bytes of a pattern, made up as they are read, whose
// seeks are refused once `seeks` of them have been allowed.
class MadeUpStream : public QIODevice {
 public:
  MadeUpStream(qint64 size, int seeks) : size_(size), seeks_(seeks) { open(QIODevice::ReadOnly); }
  qint64 size() const override { return size_; }
  bool seek(qint64 to) override {
    if (seeks_ == 0) {
      setErrorString(QStringLiteral("the stream cannot seek now"));
      return false;
    }
    --seeks_;
    return QIODevice::seek(to);
  }

 protected:
  qint64 readData(char* data, qint64 max) override {
    const qint64 n = std::min(max, size_ - pos());
    for (qint64 i = 0; i < n; ++i) data[i] = static_cast<char>((pos() + i) % 251);
    return std::max<qint64>(n, 0);
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  qint64 size_;
  int seeks_;
};

TEST_F(Player, StreamsAndPositionsThePositionCannotHoldAreRefusedAtTheStart) {
  // PCM data past 2147483647 bytes would wrap the read position.
  EXPECT_FALSE(player().Play(std::make_unique<MadeUpStream>(qint64{1} << 31, 1000)));
  EXPECT_EQ(audio->ErrorMessage, "Stream too long to play: 2147483648 bytes, at most 2147483647");
  EXPECT_FALSE(player().Play(StreamOf(Pattern(kBuffer)), kBuffer + 1));
  EXPECT_EQ(audio->ErrorMessage, "Play position out of range: 4097 of a 4096-byte stream");
  EXPECT_EQ(faults.calls(Call::waveOutOpen), 0u);
  // The end itself is a position: nothing is left to play.
  ASSERT_TRUE(player().Play(StreamOf(Pattern(kBuffer)), kBuffer));
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_TRUE(played().empty());
}

TEST_F(Player, ARefusedSeekEndsTheDataWithItsReason) {
  Make(Pacing::Manual);
  // The start's two refills seek four times (to the play position and back);
  // the third refill's seek is refused.
  ASSERT_TRUE(player().Play(std::make_unique<MadeUpStream>(10 * kBuffer, 4)));
  ASSERT_EQ(player().QueuedCount, 2);
  sim.releasePlayback(1u << 20);
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_EQ(audio->ErrorMessage, "Error seeking the stream to byte 8192: the stream cannot seek now");
  EXPECT_EQ(player().Stream, nullptr);
  std::vector<char> expected(2 * kBuffer);
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(i % 251);
  EXPECT_EQ(played(), expected);  // nothing from byte 0 again
}

TEST_F(Player, AFailedResetInStopReturnsWithoutWaiting) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(10 * kBuffer))));
  ASSERT_TRUE(PumpUntil([&] { return player().Active.load(); }));
  faults.failCall(Call::waveOutReset, MMSYSERR_ERROR);
  player().Stop();
  EXPECT_EQ(audio->ErrorMessage, "Error in waveOutReset");
  EXPECT_TRUE(player().DeviceOpen);
  EXPECT_EQ(player().Stream, nullptr);
  player().Stop();  // the reset works now
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_EQ(playedSenders.size(), 1u);
}

TEST_F(Player, AFailedUnprepareOrCloseLeavesTheDeviceOpenAndStopStillEnds) {
  Make(Pacing::Manual);
  for (Call call : {Call::waveOutUnprepareHeader, Call::waveOutClose}) {
    ASSERT_TRUE(player().Play(StreamOf(Pattern(100))));
    faults.failCall(call, MMSYSERR_NOMEM);
    sim.releasePlayback(50);
    ASSERT_TRUE(PumpUntil([&] { return player().ClosePosted && faults.calls(call) > 0; }));
    ASSERT_TRUE(PumpUntil([&] { return !audio->ErrorMessage.empty(); }));
    const std::string lead =
        call == Call::waveOutClose ? "Error closing output device: " : "Error unpreparing header for playing: ";
    EXPECT_EQ(audio->ErrorMessage, lead + " " + kNoMem);
    EXPECT_TRUE(player().DeviceOpen);
    EXPECT_TRUE(player().ClosePosted);
    EXPECT_TRUE(playedSenders.empty());
    // Nothing is on its way to close it: Stop closes it itself.
    player().Stop();
    EXPECT_FALSE(player().DeviceOpen);
    ASSERT_EQ(playedSenders.size(), 1u);
    playedSenders.clear();
    audio->ErrorMessage.clear();
  }
}

TEST_F(Player, ARefusedRefillSkipsItsBlockAndPlayingGoesOn) {
  Make(Pacing::Manual);
  const std::vector<char> data = Pattern(6 * kBuffer);
  ASSERT_TRUE(player().Play(StreamOf(data)));
  ASSERT_TRUE(PumpUntil([&] { return player().Active.load(); }));
  int queued = 3;
  for (Call call : {Call::waveOutPrepareHeader, Call::waveOutWrite}) {
    audio->ErrorMessage.clear();
    faults.failCall(call, MMSYSERR_NOMEM);
    const std::int32_t queueIndex = player().QueueIndex;
    ReleaseBuffer();
    ASSERT_TRUE(PumpUntil([&] { return !audio->ErrorMessage.empty(); }));
    EXPECT_EQ(audio->ErrorMessage, " " + kNoMem);
    EXPECT_EQ(player().QueueIndex, queueIndex);
    // The completion counted; the refill that followed it did not.
    EXPECT_EQ(player().QueuedCount, --queued);
    EXPECT_NE(player().Stream, nullptr);
  }
  EXPECT_EQ(player().PlayPosition, static_cast<std::int32_t>(5 * kBuffer));
  sim.releasePlayback(1u << 20);
  ASSERT_TRUE(PumpUntilPlayed());
  std::vector<char> expected(data.begin(), data.begin() + 3 * kBuffer);
  expected.insert(expected.end(), data.begin() + 5 * kBuffer, data.end());
  EXPECT_EQ(played(), expected);
}

TEST_F(Player, RefillsThatAllFailEndThePlayingInsteadOfHanging) {
  Make(Pacing::Manual);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(20 * kBuffer))));
  faults.failCall(Call::waveOutWrite, MMSYSERR_NOMEM, 1, true);
  sim.releasePlayback(1u << 20);
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_EQ(audio->ErrorMessage, " " + kNoMem);
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_EQ(player().Stream, nullptr);
}

TEST_F(Player, AFormatChangeWhilePlayingStopsThePlayerBeforeRebuilding) {
  Make(Pacing::Clock);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(40 * kBuffer))));
  ASSERT_TRUE(PumpUntil([&] { return bufferSenders.size() >= 1; }));
  player().SetSampleRate(22050);  // would free buffers the device holds
  EXPECT_FALSE(player().DeviceOpen);
  EXPECT_EQ(playedSenders.size(), 1u);
  EXPECT_EQ(player().SampleRate, 22050);
  EXPECT_EQ(audio->Recorder->SampleRate, 22050);
}

TEST_F(Player, DestroyingTheComponentWhilePlayingStopsFirst) {
  Make(Pacing::Clock);
  ASSERT_TRUE(player().Play(StreamOf(Pattern(40 * kBuffer))));
  ASSERT_TRUE(PumpUntil([&] { return bufferSenders.size() >= 1; }));
  owned.reset();
  EXPECT_EQ(sim.outputsOpen(), 0u);
  EXPECT_EQ(playedSenders.size(), 1u);
}

// --- Sound files --------------------------------------------------------

QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::vector<char>& bytes) {
  const QString path = dir.filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return path;
}

TEST_F(Player, AFileIsPlayedInItsOwnFormatAndThePlayersFormatComesBack) {
  QTemporaryDir dir;
  const std::vector<char> pcm = Pattern(3 * 4096 + 400);  // whole stereo frames
  const QString path = WriteFile(dir, "tone.wav", quorvel_test::WavBytes(2, 22050, pcm));
  ASSERT_TRUE(player().PlayFile(path)) << audio->ErrorMessage;
  EXPECT_TRUE(player().RestoreFormat);
  EXPECT_EQ(sim.lastOutputFormat().nSamplesPerSec, 22050u);
  EXPECT_EQ(sim.lastOutputFormat().nChannels, 2);
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_EQ(played(), pcm);
  EXPECT_FALSE(player().RestoreFormat);
  for (TAudioSettings* half :
       {static_cast<TAudioSettings*>(&player()), static_cast<TAudioSettings*>(audio->Recorder)}) {
    EXPECT_EQ(half->SampleRate, 44100);
    EXPECT_EQ(half->Channels, TChannels::Mono);
    EXPECT_EQ(half->BitsPerSample, TBPS::_16);
  }
}

TEST_F(Player, AFileThatCannotPlayLeavesTheFormatAsItWas) {
  QTemporaryDir dir;
  const QString path = WriteFile(dir, "six.wav", quorvel_test::WavBytes(6, 44100, Pattern(1200)));
  EXPECT_FALSE(player().PlayFile(path));
  EXPECT_NE(audio->ErrorMessage.find("6 channels"), std::string::npos) << audio->ErrorMessage;
  EXPECT_EQ(faults.calls(Call::waveOutOpen), 0u);

  const QString good = WriteFile(dir, "mono.wav", quorvel_test::WavBytes(1, 8000, Pattern(1000)));
  faults.failCall(Call::waveOutOpen, MMSYSERR_ALLOCATED);
  EXPECT_FALSE(player().PlayFile(good));
  EXPECT_EQ(audio->ErrorMessage.rfind("Could not open the output device for playing: ", 0), 0u);
  EXPECT_FALSE(player().RestoreFormat);
  EXPECT_EQ(player().SampleRate, 44100);
}

// With linked formats the player's switch to a file's format, and the switch
// back, would go to the recorder too, whose rebuild stops its device.
TEST_F(Player, AFileNeverStopsACaptureThatRuns) {
  Make(Pacing::Manual);
  QTemporaryDir dir;
  const QString other = WriteFile(dir, "other.wav", quorvel_test::WavBytes(2, 22050, Pattern(4000)));
  const QString same = WriteFile(dir, "same.wav", quorvel_test::WavBytes(1, 44100, Pattern(3000)));
  TRecorder& recorder = *audio->Recorder;
  ASSERT_TRUE(recorder.Start());
  EXPECT_FALSE(player().PlayFile(other));
  EXPECT_EQ(audio->ErrorMessage,
            "Cannot play in another format while recording: the file is 22050 Hz, 2 channels, 16 bits; "
            "capture runs at 44100 Hz, 1 channel, 16 bits");
  EXPECT_TRUE(recorder.DeviceOpen);
  EXPECT_EQ(faults.calls(Call::waveOutOpen), 0u);
  EXPECT_EQ(player().SampleRate, 44100);
  EXPECT_EQ(player().Channels, TChannels::Mono);
  EXPECT_FALSE(player().RestoreFormat);

  ASSERT_TRUE(player().PlayFile(same)) << audio->ErrorMessage;
  sim.releasePlayback(1u << 20);
  ASSERT_TRUE(PumpUntilPlayed());
  EXPECT_TRUE(recorder.DeviceOpen);

  // Capture started in a file's format while it plays keeps running when
  // the player goes back to its own.
  ASSERT_TRUE(recorder.Stop());
  ASSERT_TRUE(player().PlayFile(other)) << audio->ErrorMessage;
  ASSERT_TRUE(recorder.Start()) << audio->ErrorMessage;
  sim.releasePlayback(1u << 20);
  ASSERT_TRUE(PumpUntilPlayed(2));
  EXPECT_TRUE(recorder.DeviceOpen);
  EXPECT_EQ(player().SampleRate, 44100);
  EXPECT_EQ(player().Channels, TChannels::Mono);
  EXPECT_EQ(recorder.SampleRate, 22050);
  EXPECT_TRUE(recorder.Stop());
}

// Mutated files through the adapter and the player: each is refused with a
// reason or played to its end; none crashes or hangs (the sanitizers watch).
TEST_F(Player, MutatedFilesArePlayedOrRefusedNeverCrash) {
  QTemporaryDir dir;
  const std::vector<char> original = quorvel_test::WavBytes(2, 11025, Pattern(6000));
  std::mt19937 random(20261208);
  int playedFiles = 0, refused = 0;
  for (int i = 0; i < 150; ++i) {
    std::vector<char> bytes = original;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) bytes[random() % 64] = static_cast<char>(random());
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    const QString path = WriteFile(dir, QString("m%1.wav").arg(i), bytes);
    playedSenders.clear();
    if (player().PlayFile(path)) {
      ASSERT_TRUE(PumpUntilPlayed()) << "mutant " << i;
      ++playedFiles;
    } else {
      EXPECT_FALSE(audio->ErrorMessage.empty()) << "mutant " << i;
      EXPECT_FALSE(player().DeviceOpen);
      ++refused;
    }
  }
  EXPECT_GT(playedFiles, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
