// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A generated signal, rendered block by block: what the generator plays and
// what a measurement sends through the device under test. Samples are
// fractions of full scale; every stimulus is a function of its sample
// index, so rendering in blocks of any size gives the same samples (no seam
// between blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace measure {

class Stimulus {
 public:
  virtual ~Stimulus() = default;
  // Samples in the whole signal; 0 for one without end.
  virtual std::uint64_t frames() const noexcept = 0;
  // Writes the next n samples and moves on; past the end they are silence.
  virtual void render(float* out, std::size_t n) noexcept = 0;
  // Goes back to the first sample.
  virtual void rewind() noexcept = 0;
  // What it is, for a user: "1000.00 Hz sine at -20.00 dBFS".
  virtual std::string describe() const = 0;
};

}  // namespace measure
