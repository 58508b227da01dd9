// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Denormal numbers flushed to zero on this thread for as long as it lives.
// A recursive filter left to ring down in digital silence reaches them: the
// A weighting's lowest poles after some 8 s, and every operation on a
// denormal costs the processor tens of times a normal one's, enough to take
// more than a second to measure one second of silence. Values that small
// (below 2.2e-308) mean nothing to a level.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace dsp {

class NoDenormals {
 public:
#if defined(__SSE__) || defined(__x86_64__)
  // Flush to zero (bit 15) and denormals are zero (bit 6).
  NoDenormals() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040u); }
  ~NoDenormals() { _mm_setcsr(saved_); }

 private:
  unsigned saved_;
#elif defined(__aarch64__)
  // Flush to zero: FPCR bit 24.
  NoDenormals() noexcept {
    unsigned long fpcr;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
    saved_ = fpcr;
    fpcr |= 1ul << 24;
    __asm__ __volatile__("msr fpcr, %0" : : "r"(fpcr));
  }
  ~NoDenormals() { __asm__ __volatile__("msr fpcr, %0" : : "r"(saved_)); }

 private:
  unsigned long saved_;
#endif
  NoDenormals(const NoDenormals&) = delete;
  NoDenormals& operator=(const NoDenormals&) = delete;
};

}  // namespace dsp
