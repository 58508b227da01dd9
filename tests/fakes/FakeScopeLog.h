// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The log of the recording display library (libQuorvel_DLL.so built from
// FakeScope.cpp), and a reader for it.
//
// Variants: ${CMAKE_BINARY_DIR}/fakes/complete/libQuorvel_DLL.so exports all
// nine entry points; ${CMAKE_BINARY_DIR}/fakes/no_<Name>/libQuorvel_DLL.so
// lacks the one named. A test puts the directory first on LD_LIBRARY_PATH (or
// loads the file by path) and depends on the target quorvel_fake_scopes.
//
// The log goes to the file named by QUORVEL_FAKE_SCOPE_LOG, read and
// truncated each time the library is loaded (nothing is recorded when the
// variable is unset; dlclose really unloads the fake). One call per line,
// in call order, fields separated by one space:
//
//   AtOpenLib <flags>
//   ScopeCreate <points> <rate> <name> <returned handle>
//   ScopeDestroy <handle>            (likewise ScopeShow, ScopeHide,
//                                     ScopeCleanBuffers, QuickUpDate)
//   ShowNext <handle> <v0> <v1> <v2> (or "ShowNext <handle> null")
//   ExternalNext <handle> <count>    (the points are not logged)
//   Lost <n>                         (calls that did not fit in memory)
//
// <name> is null or a double-quoted string in which '"', '\' and bytes
// outside printable ASCII are written as \" \\ and \xHH. Values are written
// with 17 significant digits, so they read back exactly. ScopeCreate returns
// 1, 2, 3, ...
//
// ShowNext and ExternalNext only append to memory that was reserved at load
// (no lock, no allocation, no I/O), so they are safe on an audio thread. Every
// other call, and unloading, writes what has been recorded so far, so the log
// is complete after ScopeDestroy or after the library has been released.
// Test controls, exported by the fake beside the nine entry points (look
// them up with dlsym in the loaded library):
//   FakeScopeHoldShowNext(n)  the nth ShowNext from now, once recorded, waits
//                             inside the call until FakeScopeRelease()
//   FakeScopeHolding()        a ShowNext waits there now
//   FakeScopeSetCallHook(f)   f(entry, handle) after each call but ShowNext
//                             and ExternalNext, once it is in the log
//                             (ScopeCreate: the new handle; null: none)
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::fakes {

inline constexpr const char* kFakeScopeLogEnv = "QUORVEL_FAKE_SCOPE_LOG";

using FakeScopeCallHook = void (*)(const char* entry, int32_t handle);
using FakeScopeHoldShowNextFn = void (*)(int64_t nth);
using FakeScopeHoldingFn = bool (*)();
using FakeScopeReleaseFn = void (*)();
using FakeScopeSetCallHookFn = void (*)(FakeScopeCallHook hook);
// Records kept in memory between writes (default 2^21); QUORVEL_FAKE_SCOPE_CAPACITY overrides.
inline constexpr const char* kFakeScopeCapacityEnv = "QUORVEL_FAKE_SCOPE_CAPACITY";

struct FakeScopeCall {
  std::string entry;                     // "ShowNext", "ScopeCreate", ...
  std::vector<std::string> args;         // the fields after the entry point's name, as written
  std::optional<std::string> scopeName;  // ScopeCreate: the name, unescaped; empty optional for null

  int32_t intArg(size_t i) const;
  double doubleArg(size_t i) const;
  // The handle of a per-scope call (first field), or the result of ScopeCreate.
  int32_t handle() const;
  // ShowNext's three values.
  std::array<double, 3> point() const;
};

// Throws std::runtime_error naming the line for text that is not a log.
std::vector<FakeScopeCall> parseFakeScopeLog(const std::string& text);
std::vector<FakeScopeCall> readFakeScopeLog(const std::string& path);

// Writing side, shared with the fake so the two never disagree.
std::string quoteScopeName(const char* name);
std::string formatDouble(double v);

// Directory of a variant ("complete" or "no_<Name>") in the build tree.
std::string fakeScopeDir(const std::string& variant);

}  // namespace quorvel::fakes
