// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SoundServer.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace bench {
namespace {

// Runs scripts/sound-server with `command` and takes over the environment
// lines ("export NAME=value") it prints. True when the script succeeded.
bool RunScript(const char* command) {
  const std::string line = std::string(QUORVEL_SOURCE_DIR "/scripts/sound-server ") + command;
  FILE* out = popen(line.c_str(), "r");
  if (out == nullptr) return false;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, out) != nullptr) {
    std::string s(buffer);
    if (s.rfind("export ", 0) != 0) continue;
    s = s.substr(7, s.find_last_not_of("\r\n") - 6);
    const std::size_t eq = s.find('=');
    if (eq != std::string::npos) setenv(s.substr(0, eq).c_str(), s.substr(eq + 1).c_str(), 1);
  }
  return pclose(out) == 0;
}

}  // namespace

SoundServer::SoundServer() {
  if (std::getenv("PULSE_SERVER") != nullptr) return;
  if (std::getenv("QUORVEL_SOUND_DIR") == nullptr)
    setenv("QUORVEL_SOUND_DIR", ("/tmp/quorvel-sound-bench-" + std::to_string(getuid())).c_str(), 1);
  started_ = RunScript("start") && reachable();
}

SoundServer::~SoundServer() {
  if (started_ && !RunScript("stop")) std::fprintf(stderr, "scripts/sound-server stop failed\n");
}

bool SoundServer::reachable() const { return std::getenv("PULSE_SERVER") != nullptr; }

std::string SoundServer::kind() const {
  const char* k = std::getenv("QUORVEL_SOUND_SERVER");
  return k != nullptr ? k : "unknown (QUORVEL_SOUND_SERVER unset)";
}

int SoundServer::pid() const {
  const char* dir = std::getenv("QUORVEL_SOUND_DIR");
  if (dir == nullptr) return -1;
  std::ifstream in(std::string(dir) + "/pid");
  int p = -1;
  return in >> p ? p : -1;
}

}  // namespace bench
