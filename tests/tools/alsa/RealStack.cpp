#include "RealStack.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Messages.h"
#include "platform/ResultCodes.h"
#include "platform/WaveInDevice.h"
#include "platform/alsa/AlsaCaptureSource.h"

extern char** environ;

namespace quorvel_test {

using namespace platform;

bool SoundServerConfigured() { return std::getenv("PULSE_SERVER") != nullptr; }

WAVEFORMATEX PcmFormat(unsigned channels, unsigned bits, unsigned rate) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, static_cast<WORD>(channels), rate, rate * align, align, static_cast<WORD>(bits), 0};
}

Capture::Capture(AudioSystem& system, UINT device, const WAVEFORMATEX& format, std::size_t frames, std::size_t buffers,
                 std::size_t maxBlocks)
    : system_(system),
      device_(device),
      format_(format),
      data_(buffers, std::vector<char>(frames * format.nBlockAlign)),
      headers_(buffers),
      bufferBytes_(frames * format.nBlockAlign),
      maxBlocks_(maxBlocks),
      store_(maxBlocks * bufferBytes_),
      sizes_(maxBlocks),
      times_(maxBlocks) {
  for (std::size_t i = 0; i < buffers; ++i) {
    headers_[i].lpData = data_[i].data();
    headers_[i].dwBufferLength = static_cast<DWORD>(bufferBytes_);
  }
}

Capture::~Capture() {
  if (handle_ != nullptr) {
    reset();
    close();
  }
}

// On the device thread: keep the block in reserved storage, nothing else.
void Capture::Callback(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR) {
  auto* self = reinterpret_cast<Capture*>(instance);
  if (msg == MM_WIM_OPEN) self->opens_.fetch_add(1);
  if (msg == MM_WIM_CLOSE) self->closes_.fetch_add(1);
  if (msg != MM_WIM_DATA) return;
  const auto* h = reinterpret_cast<const WAVEHDR*>(p1);
  if (const std::size_t i = self->count_.load(std::memory_order_relaxed); i < self->maxBlocks_) {
    std::memcpy(&self->store_[i * self->bufferBytes_], h->lpData, h->dwBytesRecorded);
    self->sizes_[i] = h->dwBytesRecorded;
    self->times_[i] = Clock::now();
    self->count_.store(i + 1, std::memory_order_release);
  }
  // Only now is the buffer the owner's again, as when a handler has returned.
  self->handled_.fetch_add(1, std::memory_order_release);
}

MMRESULT Capture::open() {
  const MMRESULT rc = system_.waveInOpen(&handle_, device_, &format_, reinterpret_cast<DWORD_PTR>(&Callback),
                                         reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
  if (rc != MMSYSERR_NOERROR) {
    handle_ = nullptr;
    return rc;
  }
  for (WAVEHDR& h : headers_)
    if (const MMRESULT p = system_.waveInPrepareHeader(handle_, &h, sizeof h); p != MMSYSERR_NOERROR) return p;
  return opens_.load() == 1 ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

MMRESULT Capture::start() {
  next_ = 0;
  taken_ = handled_.load(std::memory_order_acquire);
  for (WAVEHDR& h : headers_) {
    if (const MMRESULT rc = system_.waveInAddBuffer(handle_, &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
  }
  return system_.waveInStart(handle_);
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
    if (const MMRESULT rc = system_.waveInAddBuffer(handle_, &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
    ++taken_;
    next_ = (next_ + 1) % headers_.size();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Capture::reset() { return system_.waveInReset(handle_); }

MMRESULT Capture::close() {
  for (WAVEHDR& h : headers_)
    if (const MMRESULT rc = system_.waveInUnprepareHeader(handle_, &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
  const MMRESULT rc = system_.waveInClose(handle_);
  if (rc == MMSYSERR_NOERROR) handle_ = nullptr;
  if (rc == MMSYSERR_NOERROR && closes_.load() != 1) return MMSYSERR_ERROR;
  return rc;
}

std::size_t Capture::withDevice() const {
  std::size_t n = 0;
  for (const WAVEHDR& h : headers_) n += (LoadHeaderFlags(h) & WHDR_INQUEUE) ? 1 : 0;
  return n;
}

std::string Capture::errorText(MMRESULT code) {
  char text[512];
  system_.waveInGetErrorTextA(code, text, sizeof text);
  return text;
}

std::size_t Capture::overruns() const { return handle_->source().overruns(); }

unsigned long Capture::periodFrames() const {
  return dynamic_cast<alsa::AlsaCaptureSource&>(handle_->source()).periodFrames();
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

Player::Player(const std::vector<std::int16_t>& samples, unsigned rate, unsigned channels) {
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
  // A short server-side buffer: a playing stream with a long one loses its
  // start, as the null sink renders ahead.
  const char* argv[] = {
      "pacat",       "--playback", "--raw", "--format=s16le", rateArg.c_str(), channelsArg.c_str(), "--latency-msec=50",
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

std::vector<std::int16_t> CounterSignal(std::size_t frames, std::int16_t start) {
  std::vector<std::int16_t> s(frames);
  for (std::size_t i = 0; i < frames; ++i) s[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(start + i));
  return s;
}

std::vector<std::int16_t> SineSignal(std::size_t frames, unsigned rate, double hz, double amplitude,
                                     unsigned channels) {
  std::vector<std::int16_t> s(frames * channels);
  for (std::size_t i = 0; i < frames; ++i) {
    const double v = amplitude * 32767.0 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate);
    for (unsigned c = 0; c < channels; ++c) s[i * channels + c] = static_cast<std::int16_t>(std::lround(v));
  }
  return s;
}

bool RunPrivateSoundServer(const std::string& dir, const char* command) {
  const std::string line = "QUORVEL_SOUND_DIR=" + dir + " " QUORVEL_SOURCE_DIR "/scripts/sound-server " + command;
  FILE* out = popen(line.c_str(), "r");
  if (out == nullptr) return false;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, out) != nullptr) {
    std::string l(buffer);
    if (!l.starts_with("export ")) continue;
    l = l.substr(7);
    if (!l.empty() && l.back() == '\n') l.pop_back();
    const auto eq = l.find('=');
    if (eq != std::string::npos) setenv(l.substr(0, eq).c_str(), l.substr(eq + 1).c_str(), 1);
  }
  return pclose(out) == 0;
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
