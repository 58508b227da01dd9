// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The library's nine C entry points; every other symbol stays hidden.
#include "scope/ScopeApi.h"

#include "display/ScopeRegistry.h"
#include "display/ui/ScopeWindow.h"

#define QUORVEL_EXPORT extern "C" __attribute__((visibility("default")))

using quorvel::display::ScopeRegistry;

QUORVEL_EXPORT void AtOpenLib(int32_t) {}

QUORVEL_EXPORT int32_t ScopeCreate(int32_t points, int32_t rate, const char* name) {
  return ScopeRegistry::instance().create(points, rate, name);
}

QUORVEL_EXPORT void ScopeDestroy(int32_t handle) { ScopeRegistry::instance().destroy(handle); }

// Also brings back a window the user closed or minimised, to the front.
QUORVEL_EXPORT void ScopeShow(int32_t handle) {
  if (auto* w = ScopeRegistry::instance().window(handle)) {
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
  }
}

QUORVEL_EXPORT void ScopeHide(int32_t handle) {
  if (auto* w = ScopeRegistry::instance().window(handle)) w->hide();
}

QUORVEL_EXPORT void ShowNext(int32_t handle, const ScopePoint* point) {
  if (!point) return;
  if (auto* c = ScopeRegistry::instance().find(handle)) c->ring.push(*point);
}

QUORVEL_EXPORT int32_t ExternalNext(int32_t handle, const ScopePoint* points, int32_t count) {
  auto* c = points ? ScopeRegistry::instance().find(handle) : nullptr;
  int32_t taken = 0;
  for (int32_t i = 0; c && i < count; ++i) taken += c->ring.push(points[i]) ? 1 : 0;
  return taken;
}

QUORVEL_EXPORT void ScopeCleanBuffers(int32_t handle) {
  if (auto* w = ScopeRegistry::instance().window(handle)) w->cleanBuffers();
}

QUORVEL_EXPORT void QuickUpDate(int32_t handle) {
  if (auto* w = ScopeRegistry::instance().window(handle)) w->updateNow();
}

// The entry points keep the exact types the program resolves them as.
#include <type_traits>
static_assert(std::is_same_v<decltype(&AtOpenLib), AtOpenLibFn>);
static_assert(std::is_same_v<decltype(&ScopeCreate), ScopeCreateFn>);
static_assert(std::is_same_v<decltype(&ScopeDestroy), ScopeDestroyFn>);
static_assert(std::is_same_v<decltype(&ScopeShow), ScopeShowFn>);
static_assert(std::is_same_v<decltype(&ScopeHide), ScopeHideFn>);
static_assert(std::is_same_v<decltype(&ShowNext), ShowNextFn>);
static_assert(std::is_same_v<decltype(&ExternalNext), ExternalNextFn>);
static_assert(std::is_same_v<decltype(&ScopeCleanBuffers), ScopeCleanBuffersFn>);
static_assert(std::is_same_v<decltype(&QuickUpDate), QuickUpDateFn>);
