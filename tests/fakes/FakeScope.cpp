// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A display library that draws nothing and records every call (see
// FakeScopeLog.h for the log). Built once per variant: QUORVEL_FAKE_OMIT_<Name>
// leaves that entry point out.
#include "scope/ScopeApi.h"

#include "FakeScopeLog.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using quorvel::fakes::formatDouble;

enum class Kind : uint8_t {
  AtOpenLib,
  ScopeCreate,
  ScopeDestroy,
  ScopeShow,
  ScopeHide,
  ShowNext,
  ShowNextNull,
  ExternalNext,
  ScopeCleanBuffers,
  QuickUpDate
};

const char* const kNames[] = {"AtOpenLib", "ScopeCreate", "ScopeDestroy", "ScopeShow",         "ScopeHide",
                              "ShowNext",  "ShowNext",    "ExternalNext", "ScopeCleanBuffers", "QuickUpDate"};

// Plain data in zeroed memory; `ready` is read and written through atomic_ref
// so a record is published only once it is complete.
struct Record {
  uint8_t ready;
  Kind kind;
  int32_t a, b, c, d;
  double v[3];
};

class Recorder {
 public:
  Recorder() {
    const char* path = std::getenv(quorvel::fakes::kFakeScopeLogEnv);
    if (!path || !*path) return;
    const char* cap = std::getenv(quorvel::fakes::kFakeScopeCapacityEnv);
    capacity_ = cap && std::atoll(cap) > 0 ? size_t(std::atoll(cap)) : size_t(1) << 21;
    // calloc: the pages are zero and only become real as records land on them.
    records_ = static_cast<Record*>(std::calloc(capacity_, sizeof(Record)));
    file_ = records_ ? std::fopen(path, "w") : nullptr;
  }
  ~Recorder() {
    flush();
    if (file_) std::fclose(file_);
    std::free(records_);
  }

  // Lock-free and allocation-free: safe on an audio thread.
  void record(Kind kind, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0, const double* v = nullptr) {
    if (!file_) return;
    const size_t i = next_.fetch_add(1, std::memory_order_relaxed);
    if (i >= capacity_) {
      lost_.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    Record& r = records_[i];
    r.kind = kind;
    r.a = a, r.b = b, r.c = c, r.d = d;
    if (v) r.v[0] = v[0], r.v[1] = v[1], r.v[2] = v[2];
    std::atomic_ref<uint8_t>(r.ready).store(1, std::memory_order_release);
  }

  // Names of created scopes, by record index; ScopeCreate runs on the GUI thread.
  int32_t keepName(const char* name) {
    std::lock_guard lock(namesMutex_);
    names_.push_back(quorvel::fakes::quoteScopeName(name));
    return int32_t(names_.size() - 1);
  }

  // Writes every complete record not yet written. Not for the audio thread.
  void flush() {
    if (!file_) return;
    std::lock_guard lock(flushMutex_);
    const size_t end = std::min(next_.load(std::memory_order_acquire), capacity_);
    for (; flushed_ < end; ++flushed_) {
      Record& r = records_[flushed_];
      if (!std::atomic_ref<uint8_t>(r.ready).load(std::memory_order_acquire))
        break;  // still being written by another thread: the next flush takes it
      write(r);
    }
    if (const uint64_t lost = lost_.exchange(0, std::memory_order_relaxed))
      std::fprintf(file_, "Lost %llu\n", static_cast<unsigned long long>(lost));
    std::fflush(file_);
  }

  int32_t nextHandle() { return ++handles_; }

 private:
  void write(const Record& r) {
    const char* name = kNames[size_t(r.kind)];
    switch (r.kind) {
      case Kind::ScopeCreate: {
        std::lock_guard lock(namesMutex_);
        std::fprintf(file_, "%s %d %d %s %d\n", name, r.a, r.b, names_[size_t(r.c)].c_str(), r.d);
        break;
      }
      case Kind::ShowNext:
        std::fprintf(file_, "%s %d %s %s %s\n", name, r.a, formatDouble(r.v[0]).c_str(), formatDouble(r.v[1]).c_str(),
                     formatDouble(r.v[2]).c_str());
        break;
      case Kind::ShowNextNull:
        std::fprintf(file_, "%s %d null\n", name, r.a);
        break;
      case Kind::ExternalNext:
        std::fprintf(file_, "%s %d %d\n", name, r.a, r.b);
        break;
      default:
        std::fprintf(file_, "%s %d\n", name, r.a);
    }
  }

  FILE* file_ = nullptr;
  Record* records_ = nullptr;
  size_t capacity_ = 0;
  std::atomic<size_t> next_{0};
  std::atomic<uint64_t> lost_{0};
  size_t flushed_ = 0;
  std::mutex flushMutex_;
  std::mutex namesMutex_;
  std::vector<std::string> names_;
  int32_t handles_ = 0;
};

Recorder recorder;

// Test controls (FakeScopeLog.h): a ShowNext to hold, and a hook for the
// other calls.
std::atomic<int64_t> holdIn{0};  // the ShowNext that holds, counted down; 0: none
std::atomic<bool> holding{false};
std::atomic<bool> released{false};
std::atomic<quorvel::fakes::FakeScopeCallHook> callHook{nullptr};

void flushAndHook(Kind kind, int32_t handle) {
  recorder.flush();
  if (const quorvel::fakes::FakeScopeCallHook hook = callHook.load()) hook(kNames[size_t(kind)], handle);
}

void recordAndFlush(Kind kind, int32_t handle) {
  recorder.record(kind, handle);
  flushAndHook(kind, handle);
}

[[maybe_unused]] void holdHere() {
  if (holdIn.load(std::memory_order_relaxed) == 0 || holdIn.fetch_sub(1) != 1) return;
  holding.store(true);
  while (!released.load()) std::this_thread::yield();
  holding.store(false);
}

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef QUORVEL_FAKE_OMIT_AtOpenLib
FAKE_EXPORT void AtOpenLib(int32_t flags) { recordAndFlush(Kind::AtOpenLib, flags); }
#endif

#ifndef QUORVEL_FAKE_OMIT_ScopeCreate
FAKE_EXPORT int32_t ScopeCreate(int32_t points, int32_t rate, const char* name) {
  const int32_t handle = recorder.nextHandle();
  recorder.record(Kind::ScopeCreate, points, rate, recorder.keepName(name), handle);
  flushAndHook(Kind::ScopeCreate, handle);
  return handle;
}
#endif

#ifndef QUORVEL_FAKE_OMIT_ScopeDestroy
FAKE_EXPORT void ScopeDestroy(int32_t handle) { recordAndFlush(Kind::ScopeDestroy, handle); }
#endif

#ifndef QUORVEL_FAKE_OMIT_ScopeShow
FAKE_EXPORT void ScopeShow(int32_t handle) { recordAndFlush(Kind::ScopeShow, handle); }
#endif

#ifndef QUORVEL_FAKE_OMIT_ScopeHide
FAKE_EXPORT void ScopeHide(int32_t handle) { recordAndFlush(Kind::ScopeHide, handle); }
#endif

#ifndef QUORVEL_FAKE_OMIT_ShowNext
FAKE_EXPORT void ShowNext(int32_t handle, const ScopePoint* point) {
  if (point)
    recorder.record(Kind::ShowNext, handle, 0, 0, 0, point->Value);
  else
    recorder.record(Kind::ShowNextNull, handle);
  holdHere();
}
#endif

#ifndef QUORVEL_FAKE_OMIT_ExternalNext
FAKE_EXPORT int32_t ExternalNext(int32_t handle, const ScopePoint* points, int32_t count) {
  recorder.record(Kind::ExternalNext, handle, count);
  return points && count > 0 ? count : 0;
}
#endif

#ifndef QUORVEL_FAKE_OMIT_ScopeCleanBuffers
FAKE_EXPORT void ScopeCleanBuffers(int32_t handle) { recordAndFlush(Kind::ScopeCleanBuffers, handle); }
#endif

#ifndef QUORVEL_FAKE_OMIT_QuickUpDate
FAKE_EXPORT void QuickUpDate(int32_t handle) { recordAndFlush(Kind::QuickUpDate, handle); }
#endif

FAKE_EXPORT void FakeScopeHoldShowNext(int64_t nth) {
  released.store(false);
  holdIn.store(nth);
}
FAKE_EXPORT bool FakeScopeHolding() { return holding.load(); }
FAKE_EXPORT void FakeScopeRelease() { released.store(true); }
FAKE_EXPORT void FakeScopeSetCallHook(quorvel::fakes::FakeScopeCallHook hook) { callHook.store(hook); }
