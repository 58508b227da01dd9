// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A span of a sound file, read through libsndfile as floats (full scale at
// 1: a 16-bit sample n reads n / 32768, as the program converts captured
// samples), chunk by chunk.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sf_private_tag;

namespace analyse {

class SoundFileSpan {
 public:
  // The part from `from` to `to` seconds (to the end without `to`, or when
  // the file ends first); null with the reason in `error` when the file
  // cannot be read or the span starts past its end.
  static std::unique_ptr<SoundFileSpan> Open(const std::string& path, double from, std::optional<double> to,
                                             std::string& error);
  ~SoundFileSpan();
  SoundFileSpan(const SoundFileSpan&) = delete;
  SoundFileSpan& operator=(const SoundFileSpan&) = delete;

  int channels() const { return channels_; }
  long rate() const { return rate_; }
  uint64_t frames() const { return frames_; }  // in the span
  uint64_t framesRead() const { return read_; }

  // The next chunk of interleaved frames: its frame count, 0 at the span's
  // end, -1 with the reason in `error` when reading fails.
  long long Read(const float*& frames, std::string& error);

 private:
  SoundFileSpan(sf_private_tag* file, int channels, long rate, uint64_t frames);

  sf_private_tag* file_;
  int channels_;
  long rate_;
  uint64_t frames_;
  uint64_t read_ = 0;
  std::vector<float> chunk_;
};

}  // namespace analyse
