// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/Player.h"

#include <QIODevice>
#include <algorithm>
#include <limits>

#include "audio/Audio.h"
#include "audio/Recorder.h"
#include "audio/SoundFile.h"
#include "audio/Texts.h"
#include "platform/AudioSystem.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "platform/ResultCodes.h"

namespace audio {

using namespace platform;

namespace {
// A start queues one buffer fewer than the ring holds: with all four queued,
// QueueIndex would equal DoneIndex and the first completion would be taken
// for the end.
constexpr int kStartBuffers = kRingSize - 1;
// The furthest PlayPosition can stand.
constexpr qint64 kMaxPosition = std::numeric_limits<std::int32_t>::max();
}  // namespace

TPlayer::TPlayer() = default;
TPlayer::~TPlayer() = default;

bool TPlayer::Play(std::unique_ptr<QIODevice> stream, std::int32_t position, WORD loops, UINT deviceId) {
  TAudio& owner = *AudioComponent;
  if (DeviceOpen) {
    owner.ErrorMessage = text::kAlreadyPlaying;
    return false;
  }
  if (!stream || !stream->isOpen() || !stream->isReadable()) {
    owner.ErrorMessage = text::kNoStream;
    return false;
  }
  if (stream->isSequential()) {
    owner.ErrorMessage = text::kStreamCannotSeek;
    return false;
  }
  // The read position is a signed 32-bit byte count: a longer stream would
  // wrap it, and its seek would then fail for good.
  if (const qint64 size = stream->size(); size > kMaxPosition) {
    owner.ErrorMessage = text::StreamTooLong(size, kMaxPosition);
    return false;
  }
  if (position < 0) {
    owner.ErrorMessage = text::PositionOutOfRange(position);
    return false;
  }
  if (position > stream->size()) {
    owner.ErrorMessage = text::PositionBeyondStream(position, stream->size());
    return false;
  }
  if (StorageFailed()) return false;
  for (WAVEHDR* h : Headers)
    if (h == nullptr || WaveFormat == nullptr || BufferBytes == 0) {
      owner.ErrorMessage = text::kNoPlayBuffers;
      return false;
    }

  const MMRESULT rc = owner.System().waveOutOpen(&WaveOutHandle, deviceId, WaveFormat,
                                                 reinterpret_cast<DWORD_PTR>(owner.NotifyWindow), 0, CALLBACK_WINDOW);
  if (rc != MMSYSERR_NOERROR) {
    SetErrorText(rc, text::kOpenOutput);
    return false;
  }
  DeviceOpen = true;
  ++playing_;
  Stream = std::move(stream);
  PlayPosition = position;
  LoopCount = loops;
  QueueIndex = 0;
  DoneIndex.store(0);
  QueuedCount = 0;
  ClosePosted = false;
  closeRequested_ = false;
  written_ = 0;
  done_ = 0;
  InitHeaders();

  starting_ = true;
  for (int i = 0; i < kStartBuffers && Stream; ++i) {
    const std::int32_t before = QueueIndex;
    Refill();
    if (QueueIndex == before) break;  // the data ended, or the write failed
  }
  starting_ = false;
  // Nothing written though data is there: the device refused it, and no
  // completion will ever close it. Close it now and say why.
  if (Stream && QueuedCount == 0) {
    const std::string why = owner.ErrorMessage;
    Stream.reset();
    CloseDevice();
    if (!DeviceOpen) owner.ErrorMessage = text::StartFailed(why);
    return false;
  }
  return true;
}

bool TPlayer::PlayFile(const QString& path, WORD loops, UINT deviceId, std::int64_t fromFrame) {
  TAudio& owner = *AudioComponent;
  // Checked before the format is touched: switching it would stop what plays.
  if (DeviceOpen) {
    owner.ErrorMessage = text::kAlreadyPlaying;
    return false;
  }
  std::string error;
  std::unique_ptr<TSoundFile> file = TSoundFile::Open(path, error);
  if (!file) {
    owner.ErrorMessage = error;
    return false;
  }
  const TChannels channels = file->channels() == 2 ? TChannels::Stereo : TChannels::Mono;
  const auto rate = static_cast<WORD>(file->sampleRate());
  if (SwitchStopsCapture(channels, rate, TBPS::_16)) {
    const TRecorder& recorder = *owner.Recorder;
    owner.ErrorMessage =
        text::FormatClash(text::Format(channels, rate, TBPS::_16),
                          text::Format(recorder.Channels, recorder.SampleRate, recorder.BitsPerSample));
    return false;
  }
  SavedChannels = Channels;
  SavedBitsPerSample = BitsPerSample;
  SavedSampleRate = SampleRate;
  RestoreFormat = true;
  SetChannels(channels);
  SetSampleRate(rate);
  SetBitsPerSample(TBPS::_16);
  // Storage that could not be built for the file's format has left its
  // reason in ErrorMessage already.
  // A place past what a byte position can name plays from the start.
  const std::int64_t position = std::clamp<std::int64_t>(fromFrame, 0, file->frames()) * file->channels() * 2;
  if (WaveFormat != nullptr && BufferBytes != 0 &&
      Play(std::move(file), position <= INT32_MAX ? std::int32_t(position) : 0, loops, deviceId))
    return true;
  // Not started: the player's own format comes back at once, the reason stays.
  const std::string why = owner.ErrorMessage;
  if (RestoreFormat && !DeviceOpen) RestoreSavedFormat();
  owner.ErrorMessage = why;
  return false;
}

void TPlayer::RestoreSavedFormat() {
  if (SwitchStopsCapture(SavedChannels, SavedSampleRate, SavedBitsPerSample)) {
    // Capture began in the file's format while it played: the player alone
    // goes back, the recorder keeps the format it captures in.
    Assign(static_cast<TAudioSettings&>(*this), &TAudioSettings::Channels, SavedChannels);
    Assign(static_cast<TAudioSettings&>(*this), &TAudioSettings::SampleRate, SavedSampleRate);
    Assign(static_cast<TAudioSettings&>(*this), &TAudioSettings::BitsPerSample, SavedBitsPerSample);
  } else {
    SetChannels(SavedChannels);
    SetSampleRate(SavedSampleRate);
    SetBitsPerSample(SavedBitsPerSample);
  }
  RestoreFormat = false;
}

// With linked formats a format write goes to the recorder too, and
// rebuilding its storage stops its device.
bool TPlayer::SwitchStopsCapture(TChannels channels, WORD rate, TBPS bits) const {
  const TAudio& owner = *AudioComponent;
  const TRecorder& recorder = *owner.Recorder;
  return !owner.SeparateCtrls && recorder.DeviceOpen &&
         (recorder.Channels != channels || recorder.SampleRate != rate || recorder.BitsPerSample != bits);
}

void TPlayer::BufferDone(HWAVEOUT handle) {
  if (DeviceOpen && handle == WaveOutHandle) ++done_;
  if (!Active.load()) return;
  if (QueueIndex != DoneIndex.load()) {
    TAudio& owner = *AudioComponent;
    if (owner.OnBufferPlayed) owner.OnBufferPlayed(&owner);
    PostMessage(RefillWindow, kRefillRequest, playing_, 0);
    DoneIndex.store((DoneIndex.load() + 1) % kRingSize);
    --QueuedCount;
    CloseWhenDrained();
  } else if (!ClosePosted) {
    ClosePosted = true;
    PostClose();
  }
}

// The last queued buffer has come back after the data ended: no completion
// will find QueueIndex equal to DoneIndex, so the close is posted here, and
// OnPlayed fires at the natural end of the data.
void TPlayer::CloseWhenDrained() {
  if (DeviceOpen && !Stream && QueuedCount <= 0 && !ClosePosted) {
    ClosePosted = true;
    PostClose();
  }
}

void TPlayer::PostClose() {
  closeRequested_ = true;
  PostMessage(CloseWindow, kCloseRequest, playing_, 0);
}

std::int32_t TPlayer::Refill() {
  if (!Stream) return 0;
  TAudio& owner = *AudioComponent;
  ClosePosted = false;

  const qint64 noted = Stream->pos();
  WAVEHDR& header = *Headers[QueueIndex];
  // A stream that fails to seek or read ends the playing as its end would,
  // but says why.
  std::string failure;
  // Reads from `from` on, never past the furthest position PlayPosition can
  // hold (a stream that has grown beyond it since the start ends there).
  auto readFrom = [&](qint64 from) -> qint64 {
    if (!Stream->seek(from)) {
      const std::string why = Stream->errorString().toStdString();
      failure = text::SeekFailed(from, why);
      return -1;
    }
    const qint64 got = Stream->read(header.lpData, std::min<qint64>(BufferBytes, kMaxPosition - from));
    if (got < 0) failure = text::ReadFailed(Stream->errorString().toStdString());
    return got;
  };
  qint64 n = readFrom(PlayPosition);
  if (n == 0 && LoopCount > 0) {
    --LoopCount;
    n = readFrom(0);
  }
  if (n >= 0) PlayPosition = static_cast<std::int32_t>(Stream->pos());
  Stream->seek(noted);

  if (n <= 0) {
    if (n < 0) owner.ErrorMessage = failure;
    Stream.reset();
    CloseWhenDrained();
    return static_cast<std::int32_t>(n);
  }

  header.dwBufferLength = static_cast<DWORD>(n);
  StoreHeaderFlags(header, 0);
  header.dwLoops = 0;
  MMRESULT rc = owner.System().waveOutPrepareHeader(WaveOutHandle, &header, sizeof(WAVEHDR));
  if (rc == MMSYSERR_NOERROR) rc = owner.System().waveOutWrite(WaveOutHandle, &header, sizeof(WAVEHDR));
  if (rc != MMSYSERR_NOERROR) {
    SetErrorText(rc, "");
    // With nothing left with the device no completion comes to carry the
    // playing on or to close it: end it here, keeping the reason.
    if (!starting_ && QueuedCount <= 0) {
      Stream.reset();
      CloseWhenDrained();
    }
    return static_cast<std::int32_t>(n);
  }
  QueueIndex = (QueueIndex + 1) % kRingSize;
  ++QueuedCount;
  ++written_;
  return static_cast<std::int32_t>(n);
}

void TPlayer::CloseDevice() {
  TAudio& owner = *AudioComponent;
  if (!DeviceOpen) {
    owner.ErrorMessage = text::kPlayerClosed;
    return;
  }
  for (WAVEHDR* h : Headers) {
    if (const MMRESULT rc = owner.System().waveOutUnprepareHeader(WaveOutHandle, h, sizeof(WAVEHDR))) {
      SetErrorText(rc, text::kUnprepareOutput);
      return;
    }
  }
  if (const MMRESULT rc = owner.System().waveOutClose(WaveOutHandle)) {
    SetErrorText(rc, text::kCloseOutput);
    return;
  }
  DeviceOpen = false;
  if (RestoreFormat && !Stream) RestoreSavedFormat();
  if (owner.OnPlayed) owner.OnPlayed(this);
}

void TPlayer::Stop() {
  TAudio& owner = *AudioComponent;
  if (!DeviceOpen) {
    owner.ErrorMessage = text::kPlayerClosed;
    return;
  }
  if (Stream) {
    Stream.reset();
    QueueIndex = DoneIndex.load();
    owner.ErrorMessage.clear();
  }
  if (!ClosePosted && owner.System().waveOutReset(WaveOutHandle) != MMSYSERR_NOERROR) {
    owner.ErrorMessage = text::kResetOutput;
    return;
  }
  // The first buffer the reset returns posts the close request. Where none
  // can (nothing was written, every completion has been handled already, or
  // an earlier close failed), nothing would ever close the device: close it
  // here instead of waiting for ever. A device still opening (its open
  // notification not handled yet) is waited for too, so that Stop always
  // returns with the device closed.
  while (Active.load() || DeviceOpen) {
    ProcessMessages();
    if (!DeviceOpen || closeRequested_ || done_ < written_) continue;
    CloseDevice();
    if (DeviceOpen) return;  // the close failed; ErrorMessage says why
  }
}

void TPlayer::SetErrorText(MMRESULT code, const std::string& lead) {
  audio::SetErrorText(*AudioComponent, &AudioSystem::waveOutGetErrorTextA, code, lead);
}

// The two requests travel on two windows with no order between them: a
// close may run, and a new playing start from OnPlayed, before a refill
// request of the old one. A request acts only on the playing that posted it.
void TPlayer::RefillWndProc(Message& Message) {
  Message.Result = 0;
  if (Message.Msg == kRefillRequest && DeviceOpen && Message.WParam == playing_) Refill();
}

void TPlayer::CloseWndProc(Message& Message) {
  Message.Result = 0;
  if (Message.Msg != kCloseRequest || Message.WParam != playing_) return;
  closeRequested_ = false;
  CloseDevice();
}

}  // namespace audio
