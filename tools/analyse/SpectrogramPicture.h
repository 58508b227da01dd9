// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A spectrogram of a whole span as a picture: time from left to right,
// frequency from 0 Hz at the bottom to half the rate at the top, each pixel
// coloured by level in the program's colour map (dsp/ColourMap) from
// kBottomDb to kTopDb on the frame scope's scale, with both axes and a
// colour bar. Drawn with Qt on an image in memory, so no display is needed
// (a QGuiApplication on the offscreen platform gives it its fonts).
#pragma once

#include <QByteArray>
#include <string>

#include "dsp/SpectrogramColumns.h"

namespace analyse {

inline constexpr int kSpectrogramColumns = 1200;  // the plot's width in pixels
inline constexpr double kTopDb = 0, kBottomDb = -120;

struct SpectrogramTitle {
  std::string source;  // the file's name, or the device
  int channel = 1;
  long rate = 44100;
  double fromSeconds = 0, seconds = 0;  // where the span starts, and its length
};

// The picture as PNG bytes; empty when it cannot be made.
QByteArray SpectrogramPng(const dsp::SpectrogramColumns& columns, int points, const SpectrogramTitle& title);

}  // namespace analyse
