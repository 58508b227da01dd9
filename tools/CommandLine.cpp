// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/CommandLine.h"

#include <cctype>
#include <cstdlib>

#include "quorvel/Version.h"

namespace tools {

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

void ShowHelp(UsageText usage) {
  usage(stdout);
  std::exit(0);
}

bool IsVersion(const std::string& arg) { return arg == "--version"; }

void ShowVersion(const char* tool) {
  std::printf("%s %s\n", tool, quorvel::kVersion);
  std::exit(0);
}

int UsageError(UsageText usage) {
  usage(stderr);
  return kExitUsage;
}

bool Complain(const char* tool, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", tool, why.c_str());
  return false;
}

void SayIfAbandoned(const char* tool, const platform::AudioSystem& system) {
  if (system.devicesAbandoned() == 0) return;
  std::fprintf(stderr, "%s: the sound server did not answer within %lld ms; its device was let go\n", tool,
               static_cast<long long>(platform::kDeviceAnswerLimit.count()));
}

bool ParseInt(const char* text, long lo, long hi, long& out) {
  // strtol would skip leading blanks.
  if (std::isspace(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && out >= lo && out <= hi;
}

bool ParseNumber(const char* text, double lo, double hi, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && out >= lo && out <= hi;
}

}  // namespace tools
