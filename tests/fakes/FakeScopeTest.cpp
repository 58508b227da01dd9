// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The recording display library: what it logs, that it reads back exactly,
// and that every variant lacks exactly its one entry point.
#include "FakeScopeLog.h"
#include "scope/ScopeApi.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

using namespace quorvel::fakes;

namespace {

const char* const kEntryPoints[] = {"AtOpenLib", "ShowNext",          "ScopeCreate", "ScopeDestroy", "ScopeShow",
                                    "ScopeHide", "ScopeCleanBuffers", "QuickUpDate", "ExternalNext"};

std::string logPath(const std::string& test) {
  return ::testing::TempDir() + "fake_scope_" + test + "_" + std::to_string(::getpid()) + ".log";
}

// Loads a variant with the log going to path; unloading writes the rest.
class Loaded {
 public:
  Loaded(const std::string& variant, const std::string& log) {
    ::setenv(kFakeScopeLogEnv, log.c_str(), 1);
    handle_ = ::dlopen((fakeScopeDir(variant) + "/libQuorvel_DLL.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ::unsetenv(kFakeScopeLogEnv);
  }
  ~Loaded() { unload(); }
  void unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
  }
  bool loaded() const { return handle_ != nullptr; }
  template <class Fn>
  Fn get(const char* name) const {
    return reinterpret_cast<Fn>(::dlsym(handle_, name));
  }

 private:
  void* handle_ = nullptr;
};

}  // namespace

TEST(FakeScope, LogsEveryCallInOrderWithExactValues) {
  const std::string log = logPath("order");
  {
    Loaded lib("complete", log);
    ASSERT_TRUE(lib.loaded()) << ::dlerror();
    lib.get<AtOpenLibFn>("AtOpenLib")(0);
    const int32_t signal = lib.get<ScopeCreateFn>("ScopeCreate")(0, 0, nullptr);
    const int32_t fft = lib.get<ScopeCreateFn>("ScopeCreate")(0, 0, "FFT");
    lib.get<ScopeCreateFn>("ScopeCreate")(7, -3, "a \"b\\c\" \xc3\xa9");
    EXPECT_EQ(signal, 1);
    EXPECT_EQ(fft, 2);
    lib.get<ScopeShowFn>("ScopeShow")(signal);
    const ScopePoint p{{32767.0 / 32768.0, -1.0 / 3.0, 1e-300}};
    lib.get<ShowNextFn>("ShowNext")(signal, &p);
    const ScopePoint marker{{ScopeFrameMarker, 0, 0}};
    lib.get<ShowNextFn>("ShowNext")(fft, &marker);
    lib.get<ShowNextFn>("ShowNext")(fft, nullptr);
    EXPECT_EQ(lib.get<ExternalNextFn>("ExternalNext")(fft, &p, 5), 5);
    lib.get<ScopeHideFn>("ScopeHide")(fft);
    lib.get<ScopeCleanBuffersFn>("ScopeCleanBuffers")(fft);
    lib.get<QuickUpDateFn>("QuickUpDate")(signal);
    lib.get<ScopeDestroyFn>("ScopeDestroy")(fft);
    lib.get<ScopeDestroyFn>("ScopeDestroy")(signal);
  }
  const auto calls = readFakeScopeLog(log);
  ASSERT_EQ(calls.size(), 14u);
  const char* const expected[] = {"AtOpenLib",         "ScopeCreate", "ScopeCreate",  "ScopeCreate",  "ScopeShow",
                                  "ShowNext",          "ShowNext",    "ShowNext",     "ExternalNext", "ScopeHide",
                                  "ScopeCleanBuffers", "QuickUpDate", "ScopeDestroy", "ScopeDestroy"};
  for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].entry, expected[i]) << "call " << i;
  EXPECT_EQ(calls[0].intArg(0), 0);
  EXPECT_FALSE(calls[1].scopeName.has_value());
  EXPECT_EQ(calls[1].handle(), 1);
  EXPECT_EQ(calls[2].scopeName, "FFT");
  EXPECT_EQ(calls[2].handle(), 2);
  EXPECT_EQ(calls[3].scopeName, "a \"b\\c\" \xc3\xa9");
  EXPECT_EQ(calls[3].intArg(0), 7);
  EXPECT_EQ(calls[3].intArg(1), -3);
  EXPECT_EQ(calls[4].handle(), 1);
  EXPECT_EQ(calls[5].handle(), 1);
  EXPECT_EQ(calls[5].point()[0], 32767.0 / 32768.0);
  EXPECT_EQ(calls[5].point()[1], -1.0 / 3.0);
  EXPECT_EQ(calls[5].point()[2], 1e-300);
  EXPECT_EQ(calls[6].point()[0], ScopeFrameMarker);
  EXPECT_EQ(calls[7].args.at(1), "null");
  EXPECT_EQ(calls[8].intArg(1), 5);
  EXPECT_EQ(calls[12].handle(), 2);
  EXPECT_EQ(calls[13].handle(), 1);
  std::remove(log.c_str());
}

TEST(FakeScope, EachVariantLacksExactlyItsEntryPoint) {
  for (const char* missing : kEntryPoints) {
    Loaded lib(std::string("no_") + missing, logPath("variants"));
    ASSERT_TRUE(lib.loaded()) << ::dlerror();
    for (const char* name : kEntryPoints)
      EXPECT_EQ(lib.get<void*>(name) == nullptr, std::string(name) == missing)
          << "variant no_" << missing << ", " << name;
  }
  Loaded complete("complete", logPath("variants"));
  for (const char* name : kEntryPoints) EXPECT_NE(complete.get<void*>(name), nullptr) << name;
  std::remove(logPath("variants").c_str());
}

TEST(FakeScope, ShowNextFromAnotherThreadIsRecordedInFull) {
  const std::string log = logPath("thread");
  constexpr int kPoints = 200000;
  {
    Loaded lib("complete", log);
    ASSERT_TRUE(lib.loaded()) << ::dlerror();
    const int32_t h = lib.get<ScopeCreateFn>("ScopeCreate")(0, 0, nullptr);
    const auto showNext = lib.get<ShowNextFn>("ShowNext");
    std::thread audio([&] {
      for (int i = 0; i < kPoints; ++i) {
        const ScopePoint p{{double(i), 0, 0}};
        showNext(h, &p);
      }
    });
    audio.join();
    lib.get<ScopeDestroyFn>("ScopeDestroy")(h);
  }
  const auto calls = readFakeScopeLog(log);
  ASSERT_EQ(calls.size(), size_t(kPoints) + 2);
  for (int i = 0; i < kPoints; ++i) ASSERT_EQ(calls[size_t(i) + 1].point()[0], double(i));
  EXPECT_EQ(calls.back().entry, "ScopeDestroy");
  std::remove(log.c_str());
}

TEST(FakeScope, CallsBeyondItsMemoryAreCountedAsLost) {
  const std::string log = logPath("lost");
  ::setenv(kFakeScopeCapacityEnv, "10", 1);
  {
    Loaded lib("no_ScopeHide", log);  // a variant not loaded before, so it reads the capacity afresh
    ::unsetenv(kFakeScopeCapacityEnv);
    ASSERT_TRUE(lib.loaded()) << ::dlerror();
    const ScopePoint p{{0.5, 0, 0}};
    for (int i = 0; i < 15; ++i) lib.get<ShowNextFn>("ShowNext")(1, &p);
  }
  const auto calls = readFakeScopeLog(log);
  ASSERT_EQ(calls.size(), 11u);
  EXPECT_EQ(calls.back().entry, "Lost");
  EXPECT_EQ(calls.back().intArg(0), 5);
  std::remove(log.c_str());
}

TEST(FakeScopeLog, RejectsTextThatIsNotALog) {
  EXPECT_THROW(parseFakeScopeLog("ScopeCreate 0 0 \"unterminated 1\n"), std::runtime_error);
  EXPECT_THROW(parseFakeScopeLog("ScopeCreate 0 0\n"), std::runtime_error);
  EXPECT_THROW(parseFakeScopeLog("ScopeCreate 0 0 \"x\"y 1\n"), std::runtime_error);
  const auto calls = parseFakeScopeLog("ScopeCreate 0 0 \"two words\" 3\n\nScopeShow 3\n");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].scopeName, "two words");
  EXPECT_EQ(calls[0].handle(), 3);
}
