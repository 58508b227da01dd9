// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A canonical 16-bit PCM WAV file (44-byte header) around given bytes, for
// tests that need a file byte for byte as they say.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel_test {

// `dataClaim` overrides the data chunk's size field (a header that lies).
std::vector<char> WavBytes(unsigned channels, unsigned rate, const std::vector<char>& pcm, std::int64_t dataClaim = -1);

}  // namespace quorvel_test
