// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How a frame scope is looked at: every choice the user makes in its view,
// in one plain value, so that it can be kept and restored as a whole.
#pragma once

#include <algorithm>
#include <array>

namespace quorvel::display {

// The level axis: dBFS at the top edge and the span down to the bottom edge.
struct LevelRange {
  static constexpr double kHighestTopDb = 40, kLowestBottomDb = -240;
  static constexpr double kNarrowestDb = 10, kWidestDb = 240;

  double topDb = 10;  // a little headroom above full scale
  double spanDb = 140;

  double bottomDb() const { return topDb - spanDb; }
  // Moves the range by db (positive: up), within the limits.
  void shift(double db) { topDb = std::clamp(topDb + db, kLowestBottomDb + spanDb, kHighestTopDb); }
  // Multiplies the span by factor, keeping the level at anchorDb where it is.
  void zoom(double factor, double anchorDb) {
    const double span = std::clamp(spanDb * factor, kNarrowestDb, kWidestDb);
    const double fromTop = (topDb - anchorDb) / spanDb;
    spanDb = span;
    topDb = std::clamp(anchorDb + fromTop * span, kLowestBottomDb + span, kHighestTopDb);
  }
  bool operator==(const LevelRange&) const = default;
};

enum class SpectrumLayout { Spectrum, SpectrumAndSpectrogram, Spectrogram };

// The choices the view steps through.
inline constexpr std::array<double, 4> kHoldFalls{0, 6, 20, 60};  // dB per second; 0 holds for ever
inline constexpr std::array<int, 4> kAverages{0, 4, 16, 64};      // frames; 0 is off

struct SpectrumSettings {
  bool logFrequency = false;
  LevelRange level;
  bool peakHold = true;            // shows (and copies) the held peaks
  double holdFallDbPerSecond = 0;  // 0 holds peaks for ever
  int averageFrames = 0;           // power average over this many frames; 0 shows none
  SpectrumLayout layout = SpectrumLayout::Spectrum;
  bool harmonics = false;  // marks 2f ... 10f of the peak and reads THD

  bool showsSpectrum() const { return layout != SpectrumLayout::Spectrogram; }
  bool showsSpectrogram() const { return layout != SpectrumLayout::Spectrum; }
  bool operator==(const SpectrumSettings&) const = default;
};

}  // namespace quorvel::display
