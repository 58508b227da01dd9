// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/WavFile.h"

namespace quorvel_test {

std::vector<char> WavBytes(unsigned channels, unsigned rate, const std::vector<char>& pcm, std::int64_t dataClaim) {
  std::vector<char> out;
  auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  // A byte at a time: a range insert here trips a false overflow warning of
  // GCC 12 in optimised builds.
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) out.push_back(t[i]);
  };
  const auto size = static_cast<std::uint32_t>(pcm.size());
  tag("RIFF");
  put(36 + size, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * 2, 4);
  put(channels * 2, 2);
  put(16, 2);
  tag("data");
  put(dataClaim < 0 ? size : static_cast<std::uint32_t>(dataClaim), 4);
  out.insert(out.end(), pcm.begin(), pcm.end());
  return out;
}

}  // namespace quorvel_test
