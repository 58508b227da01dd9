// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound server a benchmark on the real sound stack runs against: the one
// scripts/sound-server's environment points at, or else a private one that
// the benchmark starts with that script and stops when it is done.
#pragma once

#include <string>

namespace bench {

class SoundServer {
 public:
  // Uses the configured server (PULSE_SERVER set) or starts a private one in
  // QUORVEL_SOUND_DIR (by default /tmp/quorvel-sound-bench-$UID); which
  // kind, QUORVEL_SOUND_SERVER says (scripts/sound-server's default if unset).
  SoundServer();
  ~SoundServer();  // stops a server this object started
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  bool reachable() const;
  // "pulseaudio" or "pipewire", as the server's environment says.
  std::string kind() const;
  // The server's main process (the one that moves the audio), or -1.
  int pid() const;

 private:
  bool started_ = false;
};

}  // namespace bench
