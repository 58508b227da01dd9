// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/FilePlayback.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>

namespace app {

std::unique_ptr<FilePlayback> FilePlayback::Open(const std::string& path, std::string& error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    error = sf_strerror(nullptr);
    return nullptr;
  }
  if (info.channels < 1 || info.samplerate < 1 || info.frames <= 0 || !info.seekable) {
    error = info.frames <= 0 ? "it holds no sound"
            : !info.seekable ? "it cannot be sought in"
                             : "its header has no channels or rate";
    sf_close(file);
    return nullptr;
  }
  return std::unique_ptr<FilePlayback>(new FilePlayback(file, info.channels, info.samplerate, info.frames));
}

FilePlayback::FilePlayback(sf_private_tag* file, int channels, int rate, int64_t frames)
    : file_(file),
      channels_(channels),
      rate_(rate),
      frames_(frames),
      interleaved_(size_t(kBlockFrames) * size_t(channels)),
      channel_(kBlockFrames) {}

FilePlayback::~FilePlayback() {
  stop();
  sf_close(file_);
}

void FilePlayback::start(BlockSink sink) {
  if (thread_.joinable()) return;
  sink_ = std::move(sink);
  thread_ = std::thread([this] { run(); });
}

void FilePlayback::stop() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FilePlayback::setPaused(bool paused) {
  {
    std::lock_guard guard(lock_);
    paused_ = paused;
  }
  wake_.notify_all();
}

void FilePlayback::seek(int64_t frame) {
  {
    std::lock_guard guard(lock_);
    seekTo_ = std::clamp<int64_t>(frame, 0, frames_);
    // At once, for whatever starts from here (the player), not when the thread gets to it.
    position_ = seekTo_;
  }
  wake_.notify_all();
}

void FilePlayback::setChannel(int channel) { channel_chosen_ = std::clamp(channel, 0, channels_ - 1); }

std::string FilePlayback::failure() const {
  std::lock_guard guard(lock_);
  return failure_;
}

void FilePlayback::run() {
  using Clock = std::chrono::steady_clock;
  const auto blockTime =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(kBlockFrames) / rate_));
  Clock::time_point due = Clock::now();  // when the next block is to be handed on
  std::unique_lock guard(lock_);
  for (;;) {
    // Paused, or at the end: nothing to do until asked.
    const bool idle = paused_ || ended_;
    wake_.wait(guard, [&] { return stopping_ || seekTo_ >= 0 || (!paused_ && !ended_); });
    if (stopping_) return;
    if (idle) due = Clock::now();
    if (seekTo_ >= 0) {
      const int64_t to = seekTo_;
      seekTo_ = -1;
      ended_ = true;
      if (sf_seek(file_, to, SEEK_SET) < 0) {
        failure_ = sf_strerror(file_);
        continue;
      }
      position_ = to;
      ended_ = to >= frames_;
      due = Clock::now();
      continue;
    }
    // Until the block is due; a pause, a seek or the end come first.
    if (wake_.wait_until(guard, due, [&] { return stopping_ || seekTo_ >= 0 || paused_.load(); })) continue;

    guard.unlock();
    const sf_count_t got = sf_readf_float(file_, interleaved_.data(), kBlockFrames);
    if (got > 0) {
      const int c = channel_chosen_.load();
      for (sf_count_t i = 0; i < got; ++i) channel_[size_t(i)] = interleaved_[size_t(i * channels_ + c)];
      sink_(channel_.data(), int(got), got == kBlockFrames);
      position_ += got;
    }
    guard.lock();
    if (got < kBlockFrames || position_ >= frames_) {
      if (got <= 0 && position_ < frames_) failure_ = sf_strerror(file_);
      ended_ = true;
    }
    // The pace is the file's; held up for long (a slow disk, a busy
    // machine), it goes on from now rather than rush to catch up.
    due += blockTime;
    if (Clock::now() - due > 4 * blockTime) due = Clock::now();
  }
}

}  // namespace app
