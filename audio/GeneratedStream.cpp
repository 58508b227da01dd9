// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/GeneratedStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace audio {

TGeneratedStream::TGeneratedStream(std::unique_ptr<measure::Stimulus> stimulus, int channels, bool dither)
    : stimulus_(std::move(stimulus)),
      channels_(channels),
      quantizer_(dither),
      endless_(stimulus_->frames() == 0),
      blockAlign_(2 * channels) {
  const qint64 longest = std::numeric_limits<std::int32_t>::max() / blockAlign_;
  framesPerPass_ = endless_ ? static_cast<std::uint64_t>(longest)
                            : std::min<std::uint64_t>(stimulus_->frames(), static_cast<std::uint64_t>(longest));
  size_ = static_cast<qint64>(framesPerPass_) * blockAlign_;
  // Unbuffered: the device must see every read where the player makes it,
  // not a read-ahead it would have to render twice.
  open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 TGeneratedStream::readData(char* data, qint64 maxSize) {
  const qint64 at = pos();
  if (endless_ && at == 0 && reachedEnd_) ++pass_;
  reachedEnd_ = false;
  const qint64 frames = std::min(maxSize, size_ - at) / blockAlign_;
  if (frames <= 0) {
    reachedEnd_ = at >= size_;
    return 0;
  }
  const std::uint64_t first = pass_ * framesPerPass_ + static_cast<std::uint64_t>(at / blockAlign_);
  if (first != next_) {
    // A jump: render from the start up to the frame asked for.
    stimulus_->rewind();
    next_ = 0;
    scratch_.resize(4096);
    while (next_ < first) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(scratch_.size(), first - next_));
      stimulus_->render(scratch_.data(), n);
      next_ += n;
    }
  }
  const auto n = static_cast<std::size_t>(frames);
  if (scratch_.size() < n) scratch_.resize(n);
  stimulus_->render(scratch_.data(), n);
  next_ += n;
  auto* out = data;
  for (std::size_t i = 0; i < n; ++i) {
    for (int c = 0; c < channels_; ++c) {
      const std::int16_t v = quantizer_(scratch_[i]);
      std::memcpy(out, &v, 2);  // little-endian, as the wave format
      out += 2;
    }
  }
  reachedEnd_ = at + frames * blockAlign_ >= size_;
  return frames * blockAlign_;
}

}  // namespace audio
