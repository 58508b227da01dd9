// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the command-line tools do the same way: reading numbers, saying what
// is wrong with a command line, and how they end. Exit statuses: 0 done,
// 1 a failure the tool reports, 64 a bad command line (EX_USAGE of
// sysexits.h), 128 + n when signal n ended it (130 for Ctrl+C), as a shell
// reports a program that a signal ended.
#pragma once

#include <sysexits.h>

#include <cstdio>
#include <string>

#include "platform/AudioSystem.h"

namespace tools {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = EX_USAGE;

// The status of a tool that signal `signal` ended (TerminationSignals says
// which one arrived).
constexpr int ExitForSignal(int signal) { return 128 + signal; }

// A tool's usage text, written to `to`.
using UsageText = void (*)(std::FILE* to);

// --help or -h.
bool IsHelp(const std::string& arg);
// The usage on stdout, and exit 0.
[[noreturn]] void ShowHelp(UsageText usage);
// --version.
bool IsVersion(const std::string& arg);
// "tool 0.2.0" on stdout, and exit 0.
[[noreturn]] void ShowVersion(const char* tool);
// After a bad command line: the usage on stderr; the status to exit with.
int UsageError(UsageText usage);
// "tool: why" on stderr; false, for a parser to return.
bool Complain(const char* tool, const std::string& why);

// When the system gave up waiting for a device (a sound server that does
// not answer): says so on stderr, so that a user knows why it ended as it did.
void SayIfAbandoned(const char* tool, const platform::AudioSystem& system);

// A whole decimal number from lo to hi, and nothing else.
bool ParseInt(const char* text, long lo, long hi, long& out);
// A decimal number (as "1000", "-20.5" or "1e3") from lo to hi, and nothing else.
bool ParseNumber(const char* text, double lo, double hi, double& out);

}  // namespace tools
