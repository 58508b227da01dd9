// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A stimulus as the player's stream: 16-bit PCM, mono or stereo (the same
// signal on both channels), made as the player reads it, so nothing is
// written to a file and no block is ever missing at a buffer's seam.
//
// The player reads at its own position and puts the stream's position
// back after each read (its refill step); the stream is random-access as
// that requires: a read where the last one ended goes on rendering, any
// other rewinds the stimulus and renders up to the point asked for.
//
// A stimulus without end gives a stream of the longest size the player
// takes (its positions are signed 32-bit), played with loops: a read from
// byte 0 right after one that reached the end goes on with the next
// samples, not with the first again, so the loop's seam is no seam either.
#pragma once

#include <QIODevice>
#include <cstdint>
#include <memory>
#include <vector>

#include "measure/Quantizer.h"
#include "measure/Stimulus.h"

namespace audio {

class TGeneratedStream : public QIODevice {
 public:
  // Opened read-only; channels 1 or 2.
  TGeneratedStream(std::unique_ptr<measure::Stimulus> stimulus, int channels, bool dither);

  bool isSequential() const override { return false; }
  qint64 size() const override { return size_; }
  bool endless() const noexcept { return endless_; }
  // Frames handed to the player so far, over every pass.
  std::uint64_t framesRead() const noexcept { return next_; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  std::unique_ptr<measure::Stimulus> stimulus_;
  int channels_;
  measure::Quantizer quantizer_;
  bool endless_;
  qint64 size_;
  qint64 blockAlign_;
  std::uint64_t framesPerPass_;
  std::uint64_t pass_ = 0;
  std::uint64_t next_ = 0;  // the stimulus's next sample
  bool reachedEnd_ = false;
  std::vector<float> scratch_;
};

}  // namespace audio
