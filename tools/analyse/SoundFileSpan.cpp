// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/SoundFileSpan.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace analyse {

namespace {

// About a third of a second of 48 kHz stereo: large enough that libsndfile's
// calls cost nothing next to the analysis, small enough to stay in cache.
constexpr long long kChunkFrames = 16384;

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", s);
  return text;
}

}  // namespace

std::unique_ptr<SoundFileSpan> SoundFileSpan::Open(const std::string& path, double from, std::optional<double> to,
                                                   std::string& error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    error = sf_strerror(nullptr);
    return nullptr;
  }
  auto fail = [&](const std::string& why) {
    error = why;
    sf_close(file);
    return nullptr;
  };
  if (info.channels < 1 || info.samplerate < 1) return fail("no channels or no sample rate in its header");
  if (info.frames <= 0) return fail("it holds no sound");
  const double length = double(info.frames) / info.samplerate;
  const auto first = static_cast<sf_count_t>(std::llround(from * info.samplerate));
  if (first >= info.frames)
    return fail("the span starts at " + Seconds(from) + ", after the file's end at " + Seconds(length));
  sf_count_t last = info.frames;
  if (to) last = std::min(last, static_cast<sf_count_t>(std::llround(*to * info.samplerate)));
  if (last <= first) return fail("the span holds no sound");
  if (first > 0 && sf_seek(file, first, SEEK_SET) != first)
    return fail(std::string("cannot seek to ") + Seconds(from) + ": " + sf_strerror(file));
  std::unique_ptr<SoundFileSpan> span(new SoundFileSpan(file, info.channels, info.samplerate, uint64_t(last - first)));
  return span;
}

SoundFileSpan::SoundFileSpan(sf_private_tag* file, int channels, long rate, uint64_t frames)
    : file_(file), channels_(channels), rate_(rate), frames_(frames), chunk_(size_t(kChunkFrames) * size_t(channels)) {}

SoundFileSpan::~SoundFileSpan() { sf_close(file_); }

long long SoundFileSpan::Read(const float*& frames, std::string& error) {
  const long long wanted = std::min<long long>(kChunkFrames, static_cast<long long>(frames_ - read_));
  if (wanted == 0) return 0;
  const sf_count_t got = sf_readf_float(file_, chunk_.data(), wanted);
  if (got <= 0) {
    const std::string why = sf_error(file_) != SF_ERR_NO_ERROR ? sf_strerror(file_) : "the file ends early";
    error = "reading at " + Seconds(double(read_) / double(rate_)) + " into the span: " + why;
    return -1;
  }
  read_ += uint64_t(got);
  frames = chunk_.data();
  return got;
}

}  // namespace analyse
