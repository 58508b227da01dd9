// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the Levels window keeps between runs, in
// $XDG_CONFIG_HOME/quorvel-audio/levels.conf (~/.config when unset): per
// input device its calibration (the offset, how it was had, the microphone
// file and whether it applies), and how the window was looked at. A device
// is known by the name the system gives it. A value that does not parse is
// taken as absent; a file that does not parse is started afresh.
#pragma once

#include <QString>
#include <optional>

namespace app {

struct DeviceCalibration {
  std::optional<double> offsetDb;  // dB SPL = dBFS + offset
  QString how;                     // "calibrator 94.0 dB SPL at 1000.2 Hz, 2026-12-09 16:40", ...
  QString microphoneFile;          // a path; empty: none
  bool applyMicrophone = false;
};

struct LevelsView {
  int weighting = 0;  // dsp::Weighting
  int time = 0;       // dsp::TimeWeighting
  int bandsPerOctave = 3;
  double intervalSeconds = 60;
  double calibratorDb = 94;
};

class LevelsStore {
 public:
  static QString FilePath();
  static DeviceCalibration Load(const QString& device);
  static void Save(const QString& device, const DeviceCalibration& c);
  static LevelsView LoadView();
  static void SaveView(const LevelsView& v);
};

}  // namespace app
