// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/SoundServer.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "tests/support/Wait.h"

namespace quorvel_test {

bool SoundServerConfigured() { return std::getenv("PULSE_SERVER") != nullptr; }

std::string SoundServerKind() {
  const char* kind = std::getenv("QUORVEL_SOUND_SERVER");
  return kind != nullptr ? kind : "";
}

bool RunSoundServerScript(const std::string& dir, const char* command, std::map<std::string, std::string>* exports) {
  const std::string line = "QUORVEL_SOUND_DIR=" + dir + " " QUORVEL_SOURCE_DIR "/scripts/sound-server " + command;
  FILE* out = popen(line.c_str(), "r");
  if (out == nullptr) return false;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, out) != nullptr) {
    std::string l(buffer);
    if (!l.starts_with("export ")) continue;
    l = l.substr(7);
    if (!l.empty() && l.back() == '\n') l.pop_back();
    const auto eq = l.find('=');
    if (eq != std::string::npos && exports != nullptr) (*exports)[l.substr(0, eq)] = l.substr(eq + 1);
  }
  return pclose(out) == 0;
}

bool RunPrivateSoundServer(const std::string& dir, const char* command) {
  std::map<std::string, std::string> exports;
  const bool ok = RunSoundServerScript(dir, command, &exports);
  for (const auto& [name, value] : exports) setenv(name.c_str(), value.c_str(), 1);
  return ok;
}

PrivateSoundServer::PrivateSoundServer(std::string dir, bool takeOver) : dir_(std::move(dir)), takeOver_(takeOver) {
  start();
}

PrivateSoundServer::~PrivateSoundServer() { stop(); }

bool PrivateSoundServer::start() {
  environment_.clear();
  started_ = RunSoundServerScript(dir_, "start", &environment_);
  if (takeOver_)
    for (const auto& [name, value] : environment_) setenv(name.c_str(), value.c_str(), 1);
  return started_;
}

bool PrivateSoundServer::stop() {
  started_ = false;
  return RunSoundServerScript(dir_, "stop", nullptr);
}

int PrivateSoundServer::pid() const {
  int pid = -1;
  std::ifstream(dir_ + "/pid") >> pid;
  return pid;
}

bool PrivateSoundServer::kill() {
  const int main = pid();
  started_ = false;
  if (main <= 0 || ::kill(main, SIGKILL) != 0) return false;
  // PipeWire's runner ends the rest of its stack when the server goes.
  return WaitUntil([main] { return ::kill(main, 0) != 0; });
}

}  // namespace quorvel_test
