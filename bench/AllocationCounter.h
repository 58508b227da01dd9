// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Replaces the global operator new/delete with counting ones, so that a
// benchmark can show that a path allocates nothing. Include in one file of
// a benchmark program only.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> g_allocations{0};

void* operator new(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
