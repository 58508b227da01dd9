// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A scope that cannot have its memory is not made: ScopeCreate returns 0,
// whichever of its large blocks fails, and leaves nothing behind. The
// allocation functions of this program are replaced so that, while a test
// asks, every request above a size fails as it would on a full machine.
#include "PrivateConfig.h"
#include "display/ScopeRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

// Requests above this many bytes fail; 0 lets every request through.
std::size_t failAbove = 0;

void* allocate(std::size_t n) {
  if (failAbove && n > failAbove) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

void* allocate(std::size_t n, const std::nothrow_t&) noexcept {
  if (failAbove && n > failAbove) return nullptr;
  return std::malloc(n ? n : 1);
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t& t) noexcept { return allocate(n, t); }
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return allocate(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

using quorvel::display::ScopeRegistry;

TEST(ScopeCreate, ReturnsZeroWhenMemoryRunsOut) {
  quorvel::display::test::PrivateConfig config;
  ScopeRegistry registry;
  // The ring (2 MB) fails first; then, with it granted, the minute of trace
  // (5 MB as 16-bit steps, and 10 MB kept for single precision).
  for (std::size_t limit : {std::size_t{1} << 20, std::size_t{4} << 20}) {
    failAbove = limit;
    const int32_t handle = registry.create(0, 0, "FFT");
    failAbove = 0;
    EXPECT_EQ(handle, 0) << "with nothing above " << limit << " bytes";
  }
  const int32_t handle = registry.create(0, 0, "FFT");
  EXPECT_NE(handle, 0) << "with the memory back";
  EXPECT_TRUE(registry.find(handle));
  registry.destroy(handle);
}
