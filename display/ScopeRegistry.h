// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The scopes behind the handles: a fixed table of slots holding atomic
// pointers, so that ShowNext finds its scope without a lock or an allocation.
//
// A handle encodes its slot and the slot's generation, so the handle of a
// destroyed scope never reaches a later scope made in the same slot.
// create and destroy run on the GUI thread; the caller guarantees that no
// ShowNext for the handle concerned is in flight while it is destroyed.
// A scope is given what was remembered for its title when it is created, and
// remembered when it is destroyed.
#pragma once

#include "display/PointRing.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace quorvel::display {

class ScopeWindow;

struct ScopeChannel {
  int32_t handle;
  PointRing ring;
  std::unique_ptr<ScopeWindow> window;

  ScopeChannel(int32_t h, size_t capacity);
  ~ScopeChannel();
};

class ScopeRegistry {
 public:
  static constexpr int kSlots = 64;
  // About 1.5 s of the program's trace rate: enough to ride out a GUI thread
  // that is busy for a while (a modal dialog, a window being dragged).
  static constexpr size_t kRingCapacity = 65536;

  ScopeRegistry() = default;
  ~ScopeRegistry();
  ScopeRegistry(const ScopeRegistry&) = delete;
  ScopeRegistry& operator=(const ScopeRegistry&) = delete;

  // The library's one table.
  static ScopeRegistry& instance();

  // 0 when there is no GUI application on this thread, no free slot or not
  // the memory for the scope.
  int32_t create(int32_t points, int32_t rate, const char* name);
  void destroy(int32_t handle);
  void destroyAll();

  // Any thread; null for a handle that names no scope.
  ScopeChannel* find(int32_t handle) const {
    if (handle <= 0) return nullptr;
    ScopeChannel* c = slots_[size_t((handle - 1) % kSlots)].load(std::memory_order_acquire);
    return c && c->handle == handle ? c : nullptr;
  }
  // As find, but only on the GUI thread, and returning the window.
  ScopeWindow* window(int32_t handle) const;

 private:
  // Remembers the scope's window and deletes the scope.
  static void release(ScopeChannel* c);

  std::array<std::atomic<ScopeChannel*>, kSlots> slots_{};
  std::array<int32_t, kSlots> generations_{};
  int created_ = 0;
};

// True on the thread of the running Qt GUI application.
bool onGuiThread();

}  // namespace quorvel::display
