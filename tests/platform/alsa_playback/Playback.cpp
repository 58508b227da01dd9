#include "Playback.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/Messages.h"
#include "platform/ResultCodes.h"
#include "platform/WaveOutDevice.h"

namespace quorvel_test {

using namespace platform;

Playback::Playback(AudioSystem& system, UINT device, const WAVEFORMATEX& format, std::vector<std::uint8_t> data,
                   std::size_t bufferBytes, std::size_t buffers)
    : system_(system),
      device_(device),
      format_(format),
      data_(std::move(data)),
      bufferBytes_(bufferBytes),
      buffers_(buffers, std::vector<char>(bufferBytes)),
      headers_(buffers) {
  const std::size_t pieces = (data_.size() + bufferBytes - 1) / bufferBytes;
  order_.resize(pieces);
  doneOnReturn_.resize(pieces);
  for (std::size_t i = 0; i < buffers; ++i) headers_[i].lpData = buffers_[i].data();
}

Playback::~Playback() {
  if (handle_ != nullptr) {
    reset();
    close();
  }
}

// On the device thread: note which write came back and how, nothing else.
void Playback::Callback(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR) {
  auto* self = reinterpret_cast<Playback*>(instance);
  if (msg == MM_WOM_OPEN) self->opens_.fetch_add(1);
  if (msg == MM_WOM_CLOSE) self->closes_.fetch_add(1);
  if (msg != MM_WOM_DONE) return;
  const auto* h = reinterpret_cast<const WAVEHDR*>(p1);
  const std::size_t i = self->returned_.load(std::memory_order_relaxed);
  if (i < self->order_.size()) {
    const DWORD flags = LoadHeaderFlags(*h);
    self->order_[i] = h->dwUser;
    self->doneOnReturn_[i] = (flags & WHDR_DONE) && !(flags & WHDR_INQUEUE);
  }
  // Only now is the buffer the owner's again, as when a handler has returned.
  self->returned_.store(i + 1, std::memory_order_release);
}

MMRESULT Playback::open() {
  const MMRESULT rc = system_.waveOutOpen(&handle_, device_, &format_, reinterpret_cast<DWORD_PTR>(&Callback),
                                          reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
  if (rc != MMSYSERR_NOERROR) {
    handle_ = nullptr;
    return rc;
  }
  for (WAVEHDR& h : headers_) {
    h.dwBufferLength = static_cast<DWORD>(bufferBytes_);
    if (const MMRESULT p = system_.waveOutPrepareHeader(handle_, &h, sizeof h); p != MMSYSERR_NOERROR) return p;
  }
  return opens_.load() == 1 ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
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
    if (const MMRESULT rc = system_.waveOutWrite(handle_, &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
    next_ += n;
    ++writes_;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Playback::reset() { return system_.waveOutReset(handle_); }

MMRESULT Playback::close() {
  for (WAVEHDR& h : headers_)
    if (const MMRESULT rc = system_.waveOutUnprepareHeader(handle_, &h, sizeof h); rc != MMSYSERR_NOERROR) return rc;
  const MMRESULT rc = system_.waveOutClose(handle_);
  if (rc != MMSYSERR_NOERROR) return rc;
  handle_ = nullptr;
  return closes_.load() == 1 ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

MMRESULT Playback::closeOnly() { return system_.waveOutClose(handle_); }

std::size_t Playback::withDevice() const {
  std::size_t n = 0;
  for (const WAVEHDR& h : headers_) n += (LoadHeaderFlags(h) & WHDR_INQUEUE) ? 1 : 0;
  return n;
}

bool Playback::returnedInOrderAndDone() const {
  if (returned() != writes_) return false;
  for (std::size_t i = 0; i < writes_; ++i)
    if (order_[i] != i || !doneOnReturn_[i]) return false;
  return true;
}

std::size_t Playback::underruns() const { return handle_->sink().underruns(); }

std::string Playback::errorText(MMRESULT code) {
  char text[512];
  system_.waveOutGetErrorTextA(code, text, sizeof text);
  return text;
}

std::vector<std::uint8_t> ToneBytes(const WAVEFORMATEX& format, double seconds, double hz,
                                    const std::vector<double>& amplitudes) {
  const auto frames = static_cast<std::size_t>(seconds * format.nSamplesPerSec);
  std::vector<std::uint8_t> out;
  out.reserve(frames * format.nBlockAlign);
  for (std::size_t i = 0; i < frames; ++i) {
    const double s = std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / format.nSamplesPerSec);
    for (std::size_t c = 0; c < format.nChannels; ++c) {
      const double v = amplitudes[c] * s;
      if (format.wBitsPerSample == 8) {
        out.push_back(static_cast<std::uint8_t>(std::lround(128 + 127 * v)));
      } else {
        const auto x = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32767 * v)));
        out.push_back(static_cast<std::uint8_t>(x & 0xFF));
        out.push_back(static_cast<std::uint8_t>(x >> 8));
      }
    }
  }
  return out;
}

}  // namespace quorvel_test
