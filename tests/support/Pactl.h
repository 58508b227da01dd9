// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pactl against the sound server the environment names: the default sink's
// and source's volume and mute, read, set, and put back after a test.
#pragma once

#include <array>
#include <string>

namespace quorvel_test::pactl {

// "pactl ARGS", its output unseen; whether it succeeded.
bool Run(const std::string& args);
// What "pactl ARGS" prints.
std::string Output(const std::string& args);

// The raw left and right volumes (65536 is 100 %) of the default "sink" or
// "source", -1 where pactl names none.
std::array<long, 2> Volume(const std::string& kind);
bool SinkMuted();

// The default sink's and source's volumes and the sink's mute as they were
// when it was made, put back when it goes, whatever the test did between.
class SavedLevels {
 public:
  SavedLevels();
  ~SavedLevels();
  SavedLevels(const SavedLevels&) = delete;
  SavedLevels& operator=(const SavedLevels&) = delete;
  bool valid() const { return sink_[0] >= 0; }

 private:
  std::array<long, 2> sink_, source_;
  bool sinkMuted_;
};

}  // namespace quorvel_test::pactl
