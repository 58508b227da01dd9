// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the two leading integers and the name of ScopeCreate select.
#pragma once

#include <QString>

#include <cstdint>

namespace quorvel::display {

struct ScopeConfig {
  int points = 2048;  // trace width; transform length behind a frame's bins
  int rate = 44100;   // Hz, behind the time and frequency axes
  QString title = QStringLiteral("Signal");
  // A scope named "FFT" is the program's spectrum scope: it shows the frame
  // view, waiting for its first frame, from the start instead of an empty trace.
  bool framesFromStart = false;

  static ScopeConfig fromCreate(int32_t points, int32_t rate, const char* name);

  int bins() const { return points / 2; }
  double binHz() const { return double(rate) / points; }
  double nyquistHz() const { return rate / 2.0; }
  double spanMs() const { return points * 1000.0 / rate; }
};

}  // namespace quorvel::display
