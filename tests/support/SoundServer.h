// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The private sound servers of scripts/sound-server: whether the suite's is
// reachable, and servers of a test's own.
#pragma once

#include <map>
#include <string>

namespace quorvel_test {

// True when the suite's private sound server is reachable (scripts/sound-server's
// environment is set).
bool SoundServerConfigured();
// The kind of the suite's server ("pulseaudio" or "pipewire"), empty without one.
std::string SoundServerKind();

// Runs scripts/sound-server `command` with its own directory `dir`, of the
// suite's kind; `exports` receives the environment lines "start" prints
// (the names and values that point a client at that server).
bool RunSoundServerScript(const std::string& dir, const char* command, std::map<std::string, std::string>* exports);

// The same, and this process takes the printed environment over. For tests
// that stop and start a server of their own.
bool RunPrivateSoundServer(const std::string& dir, const char* command);

// A sound server of a test's own in `dir`, of the suite's kind, started when
// made and stopped when it goes, whatever the test did meanwhile: a test
// that takes a server down never takes the suite's. With `takeOver`, this
// process is pointed at it (before alsa-lib first reads its configuration,
// for ALSA's default device to reach it); else `environment()` is for a
// child process.
class PrivateSoundServer {
 public:
  PrivateSoundServer(std::string dir, bool takeOver);
  ~PrivateSoundServer();
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

  bool started() const { return started_; }
  const std::map<std::string, std::string>& environment() const { return environment_; }
  // The server's main process (for SIGSTOP), or -1.
  int pid() const;
  bool start();
  bool stop();
  // Ends the server's processes as a crash would, keeping its directory, so
  // that ALSA's configuration still names the server that is gone.
  bool kill();

 private:
  const std::string dir_;
  const bool takeOver_;
  bool started_ = false;
  std::map<std::string, std::string> environment_;
};

}  // namespace quorvel_test
