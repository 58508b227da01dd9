// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/RealStack.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <thread>

#include "platform/Messages.h"
#include "platform/ResultCodes.h"
#include "platform/WaveInDevice.h"
#include "platform/WaveOutDevice.h"
#include "platform/alsa/AlsaCaptureSource.h"

extern char** environ;

namespace quorvel_test {

using namespace platform;

void AlsaOnSoundServer::SetUp() {
  if (!SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/sound-server start)";
}

template <typename Handle>
WaveHarness<Handle>::WaveHarness(AudioSystem& system, UINT device, const WAVEFORMATEX& format, std::size_t buffers,
                                 std::size_t bufferBytes)
    : system_(system),
      format_(format),
      bufferBytes_(bufferBytes),
      headers_(buffers),
      device_(device),
      memory_(buffers, std::vector<char>(bufferBytes)) {
  for (std::size_t i = 0; i < buffers; ++i) headers_[i].lpData = memory_[i].data();
}

template <typename Handle>
void WaveHarness<Handle>::shutDown() {
  if (handle_ != nullptr) {
    reset();
    close();
  }
}

template <typename Handle>
void WaveHarness<Handle>::Callback(Handle, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR) {
  auto* self = reinterpret_cast<WaveHarness*>(instance);
  if (msg == (kIn ? MM_WIM_OPEN : MM_WOM_OPEN)) self->opens_.fetch_add(1);
  if (msg == (kIn ? MM_WIM_CLOSE : MM_WOM_CLOSE)) self->closes_.fetch_add(1);
  if (msg == (kIn ? MM_WIM_DATA : MM_WOM_DONE)) self->handedBack(*reinterpret_cast<const WAVEHDR*>(p1));
}

template <typename Handle>
MMRESULT WaveHarness<Handle>::open() {
  const auto callback = reinterpret_cast<DWORD_PTR>(&Callback), instance = reinterpret_cast<DWORD_PTR>(this);
  MMRESULT rc;
  if constexpr (kIn)
    rc = system_.waveInOpen(&handle_, device_, &format_, callback, instance, CALLBACK_FUNCTION);
  else
    rc = system_.waveOutOpen(&handle_, device_, &format_, callback, instance, CALLBACK_FUNCTION);
  if (rc != MMSYSERR_NOERROR) {
    handle_ = nullptr;
    return rc;
  }
  for (WAVEHDR& h : headers_) {
    h.dwBufferLength = static_cast<DWORD>(bufferBytes_);
    if constexpr (kIn)
      rc = system_.waveInPrepareHeader(handle_, &h, sizeof h);
    else
      rc = system_.waveOutPrepareHeader(handle_, &h, sizeof h);
    if (rc != MMSYSERR_NOERROR) return rc;
  }
  return opens_.load() == 1 ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

template <typename Handle>
MMRESULT WaveHarness<Handle>::reset() {
  if constexpr (kIn)
    return system_.waveInReset(handle_);
  else
    return system_.waveOutReset(handle_);
}

template <typename Handle>
MMRESULT WaveHarness<Handle>::close() {
  MMRESULT rc;
  for (WAVEHDR& h : headers_) {
    if constexpr (kIn)
      rc = system_.waveInUnprepareHeader(handle_, &h, sizeof h);
    else
      rc = system_.waveOutUnprepareHeader(handle_, &h, sizeof h);
    if (rc != MMSYSERR_NOERROR) return rc;
  }
  if constexpr (kIn)
    rc = system_.waveInClose(handle_);
  else
    rc = system_.waveOutClose(handle_);
  if (rc != MMSYSERR_NOERROR) return rc;
  handle_ = nullptr;
  return closes_.load() == 1 ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

template <typename Handle>
std::size_t WaveHarness<Handle>::withDevice() const {
  std::size_t n = 0;
  for (const WAVEHDR& h : headers_) n += (LoadHeaderFlags(h) & WHDR_INQUEUE) ? 1 : 0;
  return n;
}

template <typename Handle>
std::string WaveHarness<Handle>::errorText(MMRESULT code) {
  char text[512];
  if constexpr (kIn)
    system_.waveInGetErrorTextA(code, text, sizeof text);
  else
    system_.waveOutGetErrorTextA(code, text, sizeof text);
  return text;
}

template class WaveHarness<HWAVEIN>;
template class WaveHarness<HWAVEOUT>;

Capture::Capture(AudioSystem& system, UINT device, const WAVEFORMATEX& format, std::size_t frames, std::size_t buffers,
                 std::size_t maxBlocks)
    : WaveHarness(system, device, format, buffers, frames * format.nBlockAlign),
      maxBlocks_(maxBlocks),
      store_(maxBlocks * bufferBytes_),
      sizes_(maxBlocks),
      times_(maxBlocks) {}

Capture::~Capture() { shutDown(); }

void Capture::handedBack(const WAVEHDR& h) {
  if (const std::size_t i = count_.load(std::memory_order_relaxed); i < maxBlocks_) {
    std::memcpy(&store_[i * bufferBytes_], h.lpData, h.dwBytesRecorded);
    sizes_[i] = h.dwBytesRecorded;
    times_[i] = Clock::now();
    count_.store(i + 1, std::memory_order_release);
  }
  handled_.fetch_add(1, std::memory_order_release);
}

MMRESULT Capture::start() {
  next_ = 0;
  taken_ = handled_.load(std::memory_order_acquire);
  for (WAVEHDR& h : headers_) {
    if (const MMRESULT rc = system_.waveInAddBuffer(handle(), &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
  }
  return system_.waveInStart(handle());
}

MMRESULT Capture::pump(std::chrono::milliseconds duration, std::size_t blocks) {
  const Clock::time_point end = Clock::now() + duration;
  while (Clock::now() < end && blockCount() < blocks) {
    // Buffers come back in queue order: the next one handled is next_.
    if (handled_.load(std::memory_order_acquire) == taken_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    WAVEHDR& h = headers_[next_];
    if (const MMRESULT rc = system_.waveInAddBuffer(handle(), &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
    ++taken_;
    next_ = (next_ + 1) % headers_.size();
  }
  return MMSYSERR_NOERROR;
}

std::size_t Capture::overruns() const { return handle()->source().overruns(); }

unsigned long Capture::periodFrames() const {
  return dynamic_cast<alsa::AlsaCaptureSource&>(handle()->source()).periodFrames();
}

std::span<const std::uint8_t> Capture::bytes(std::size_t i) const { return {&store_[i * bufferBytes_], sizes_[i]}; }

std::vector<std::int16_t> Capture::samples16() const {
  std::vector<std::int16_t> all;
  for (std::size_t i = 0; i < blockCount(); ++i) {
    const std::span<const std::uint8_t> b = bytes(i);
    const std::size_t n = b.size() / 2;
    all.resize(all.size() + n);
    std::memcpy(all.data() + all.size() - n, b.data(), n * 2);
  }
  return all;
}

Playback::Playback(AudioSystem& system, UINT device, const WAVEFORMATEX& format, std::vector<std::uint8_t> data,
                   std::size_t bufferBytes, std::size_t buffers)
    : WaveHarness(system, device, format, buffers, bufferBytes), data_(std::move(data)) {
  const std::size_t pieces = (data_.size() + bufferBytes - 1) / bufferBytes;
  order_.resize(pieces);
  doneOnReturn_.resize(pieces);
}

Playback::~Playback() { shutDown(); }

void Playback::handedBack(const WAVEHDR& h) {
  const std::size_t i = returned_.load(std::memory_order_relaxed);
  if (i < order_.size()) {
    const DWORD flags = LoadHeaderFlags(h);
    order_[i] = h.dwUser;
    doneOnReturn_[i] = (flags & WHDR_DONE) && !(flags & WHDR_INQUEUE);
  }
  returned_.store(i + 1, std::memory_order_release);
}

MMRESULT Playback::feed() {
  // Headers come back in write order: the oldest write out is the one that
  // frees its buffer next.
  while (!allWritten() && writes_ - returned() < headers_.size()) {
    WAVEHDR& h = headers_[writes_ % headers_.size()];
    const std::size_t n = std::min(bufferBytes_, data_.size() - next_);
    std::memcpy(h.lpData, data_.data() + next_, n);
    h.dwBufferLength = static_cast<DWORD>(n);
    h.dwUser = writes_;
    if (const MMRESULT rc = system_.waveOutWrite(handle(), &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
    next_ += n;
    ++writes_;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Playback::closeOnly() { return system_.waveOutClose(handle()); }

bool Playback::returnedInOrderAndDone() const {
  if (returned() != writes_) return false;
  for (std::size_t i = 0; i < writes_; ++i)
    if (order_[i] != i || !doneOnReturn_[i]) return false;
  return true;
}

std::size_t Playback::underruns() const { return handle()->sink().underruns(); }

Player::Player(const std::vector<std::int16_t>& samples, unsigned rate, unsigned channels, unsigned latencyMs) {
  char path[] = "/tmp/quorvel-alsa-signal-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return;
  file_ = path;
  const auto bytes = static_cast<ssize_t>(samples.size() * sizeof(std::int16_t));
  const bool written = write(fd, samples.data(), static_cast<std::size_t>(bytes)) == bytes;
  ::close(fd);
  if (!written) return;
  const std::string rateArg = "--rate=" + std::to_string(rate);
  const std::string channelsArg = "--channels=" + std::to_string(channels);
  const std::string latencyArg = "--latency-msec=" + std::to_string(latencyMs);
  const char* argv[] = {
      "pacat",       "--playback", "--raw", "--format=s16le", rateArg.c_str(), channelsArg.c_str(), latencyArg.c_str(),
      file_.c_str(), nullptr};
  if (posix_spawnp(&pid_, "pacat", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
}

Player::~Player() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (!file_.empty()) unlink(file_.c_str());
}

StderrCatcher::StderrCatcher() : file_(std::tmpfile()), saved_(dup(STDERR_FILENO)) {
  std::fflush(stderr);
  dup2(fileno(file_), STDERR_FILENO);
}

StderrCatcher::~StderrCatcher() {
  restore();
  std::fclose(file_);
}

std::string StderrCatcher::text() {
  restore();
  std::string all;
  std::rewind(file_);
  for (int c; (c = std::fgetc(file_)) != EOF;) all += static_cast<char>(c);
  return all;
}

void StderrCatcher::restore() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  ::close(saved_);
  saved_ = -1;
}

}  // namespace quorvel_test
