// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/Pactl.h"

#include <cstdio>
#include <cstdlib>

namespace quorvel_test::pactl {

bool Run(const std::string& args) { return std::system(("pactl " + args + " >/dev/null 2>&1").c_str()) == 0; }

std::string Output(const std::string& args) {
  std::string out;
  if (FILE* p = popen(("pactl " + args + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    pclose(p);
  }
  return out;
}

// pactl prints "Volume: front-left: 19660 /  30% / ...,   front-right: ...".
std::array<long, 2> Volume(const std::string& kind) {
  const std::string out = Output("get-" + kind + "-volume @DEFAULT_" + (kind == "sink" ? "SINK" : "SOURCE") + "@");
  std::array<long, 2> raw{-1, -1};
  const std::string keys[] = {"front-left:", "front-right:"};
  for (std::size_t i = 0; i < 2; ++i)
    if (const auto at = out.find(keys[i]); at != std::string::npos)
      raw[i] = std::strtol(out.c_str() + at + keys[i].size(), nullptr, 10);
  return raw;
}

bool SinkMuted() { return Output("get-sink-mute @DEFAULT_SINK@").find("Mute: yes") != std::string::npos; }

SavedLevels::SavedLevels() : sink_(Volume("sink")), source_(Volume("source")), sinkMuted_(SinkMuted()) {}

SavedLevels::~SavedLevels() {
  if (!valid()) return;
  Run("set-sink-volume @DEFAULT_SINK@ " + std::to_string(sink_[0]) + " " + std::to_string(sink_[1]));
  if (source_[0] >= 0)
    Run("set-source-volume @DEFAULT_SOURCE@ " + std::to_string(source_[0]) + " " + std::to_string(source_[1]));
  Run(std::string("set-sink-mute @DEFAULT_SINK@ ") + (sinkMuted_ ? "1" : "0"));
}

}  // namespace quorvel_test::pactl
