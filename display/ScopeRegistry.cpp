// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ScopeRegistry.h"

#include "display/ScopeConfig.h"
#include "display/ui/ScopeSettingsStore.h"
#include "display/ui/ScopeWindow.h"
#include "scope/CaptureTime.h"

#include <QApplication>
#include <QThread>

#include <dlfcn.h>

#include <limits>
#include <new>

namespace quorvel::display {

namespace {

// When the host's sound was captured, where the host exports it.
const std::atomic<int64_t>* hostCaptureTime() {
  static const auto* found = static_cast<const std::atomic<int64_t>*>(dlsym(RTLD_DEFAULT, kCaptureTimeSymbol));
  return found;
}

}  // namespace

ScopeChannel::ScopeChannel(int32_t h, size_t capacity) : handle(h), ring(capacity, hostCaptureTime()) {}
ScopeChannel::~ScopeChannel() = default;

bool onGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return qobject_cast<const QApplication*>(app) && QThread::currentThread() == app->thread();
}

ScopeRegistry& ScopeRegistry::instance() {
  static ScopeRegistry registry;
  return registry;
}

ScopeRegistry::~ScopeRegistry() {
  // The library is being unloaded: windows still open would outlive their
  // code. Without an application they can no longer be deleted safely, and
  // are left alone.
  if (onGuiThread()) destroyAll();
}

int32_t ScopeRegistry::create(int32_t points, int32_t rate, const char* name) {
  if (!onGuiThread()) return 0;
  for (int s = 0; s < kSlots; ++s) {
    if (slots_[size_t(s)].load(std::memory_order_relaxed)) continue;
    int32_t& gen = generations_[size_t(s)];
    gen = gen == std::numeric_limits<int32_t>::max() / kSlots - 1 ? 0 : gen + 1;
    const int32_t handle = gen * kSlots + s + 1;
    // A scope holds some megabytes (its ring, a minute of trace, seconds of
    // frames): without them it is not made, and the caller gets 0 rather
    // than an exception through a C entry point, which would end it.
    try {
      auto channel = std::make_unique<ScopeChannel>(handle, kRingCapacity);
      channel->window =
          std::make_unique<ScopeWindow>(ScopeConfig::fromCreate(points, rate, name), channel->ring, created_);
      ScopeSettingsStore::restore(*channel->window);
      ++created_;
      slots_[size_t(s)].store(channel.release(), std::memory_order_release);
      return handle;
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  return 0;
}

void ScopeRegistry::destroy(int32_t handle) {
  if (!onGuiThread()) return;
  ScopeChannel* c = find(handle);
  if (!c) return;
  slots_[size_t((handle - 1) % kSlots)].store(nullptr, std::memory_order_release);
  release(c);
}

void ScopeRegistry::destroyAll() {
  for (auto& slot : slots_)
    if (ScopeChannel* c = slot.exchange(nullptr, std::memory_order_acq_rel)) release(c);
}

void ScopeRegistry::release(ScopeChannel* c) {
  ScopeSettingsStore::save(*c->window);
  delete c;
}

ScopeWindow* ScopeRegistry::window(int32_t handle) const {
  ScopeChannel* c = onGuiThread() ? find(handle) : nullptr;
  return c ? c->window.get() : nullptr;
}

}  // namespace quorvel::display
