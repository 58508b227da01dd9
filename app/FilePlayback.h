// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A sound file played into the scopes as if it were being captured: a
// thread of its own stands in for the capture device and hands one channel
// of the file, block after block of 2048 frames, to the block handler at the
// file's own pace (a block every 2048 / rate seconds by the steady clock).
// It can be paused, moved to any place, and its channel changed while it
// plays.
//
// The file is read through libsndfile, as floats (a 16-bit sample n reads
// n / 32768, as the program converts captured samples). The playback thread
// reads the file itself: a slow read only delays the picture, since no
// device is waiting to be served. The sink runs on that thread and must
// follow the block handler's rules (no allocation, no lock, no waiting).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sf_private_tag;

namespace app {

class FilePlayback {
 public:
  static constexpr int kBlockFrames = 2048;
  // samples: `count` values of the chosen channel, full scale at 1; whole:
  // false for the file's last part when it is shorter than a block.
  using BlockSink = std::function<void(const float* samples, int count, bool whole)>;

  // Null with libsndfile's reason in `error` when the file cannot be read.
  static std::unique_ptr<FilePlayback> Open(const std::string& path, std::string& error);
  ~FilePlayback();  // stops the thread
  FilePlayback(const FilePlayback&) = delete;
  FilePlayback& operator=(const FilePlayback&) = delete;

  int channels() const { return channels_; }
  int rate() const { return rate_; }
  int64_t frames() const { return frames_; }

  // Starts the thread, paused; blocks go to `sink`.
  void start(BlockSink sink);
  // Stops the thread and waits for it: no block is handed on afterwards.
  void stop();

  void setPaused(bool paused);
  bool paused() const { return paused_.load(); }
  // The next block starts at `frame` (clamped to the file), in step with the clock from now.
  void seek(int64_t frame);
  void setChannel(int channel);  // from 0
  // Frames handed on so far, as a place in the file.
  int64_t position() const { return position_.load(); }
  // The whole file has been handed on (until the next seek).
  bool ended() const { return ended_.load(); }
  // Why reading failed, once it has (then the playback has ended).
  std::string failure() const;

 private:
  FilePlayback(sf_private_tag* file, int channels, int rate, int64_t frames);
  void run();

  sf_private_tag* file_;  // read on the playback thread only, once it runs
  const int channels_, rate_;
  const int64_t frames_;
  BlockSink sink_;
  std::vector<float> interleaved_, channel_;  // one block each
  std::thread thread_;

  std::atomic<bool> paused_{true}, ended_{false};
  std::atomic<int> channel_chosen_{0};
  std::atomic<int64_t> position_{0};
  // Guarded by lock_: requests to the thread.
  mutable std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  int64_t seekTo_ = -1;
  std::string failure_;
};

}  // namespace app
