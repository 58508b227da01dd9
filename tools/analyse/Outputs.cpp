// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/Outputs.h"

#include <cstdio>

#include "dsp/BandsText.h"
#include "dsp/FrameText.h"
#include "tools/analyse/SpectrogramPicture.h"
#include "tools/analyse/WholeFile.h"

namespace analyse {

bool WriteOutputs(const OutputPlace& place, const Result& result) {
  bool ok = true;
  auto write = [&](const std::string& dir, const std::string& name, const QByteArray& bytes) {
    std::string error;
    if (!WriteWhole(dir, name, bytes, error)) {
      std::fprintf(stderr, "quorvel-analyse: %s\n", error.c_str());
      ok = false;
    }
  };
  for (const ChannelResult& c : result.channels) {
    const std::string name = place.stem + "-ch" + std::to_string(c.channel);
    // Bands are read from any length of sound, a spectrum needs a frame.
    if (c.bands && !place.csvDir.empty())
      write(place.csvDir, name + "-bands.csv", QByteArray::fromStdString(dsp::bandsCsv(*c.bands, place.calibration)));
    if (c.frames == 0) {
      if (!place.csvDir.empty() || !place.pngDir.empty())
        std::fprintf(stderr, "quorvel-analyse: %s: channel %d: shorter than one frame (%d samples), no spectrum\n",
                     place.source.c_str(), c.channel, kFramePoints);
      continue;
    }
    if (!place.csvDir.empty()) {
      const dsp::FrameText text{c.spectrum, c.peakLevels, c.binHz, c.estimates, c.held};
      write(place.csvDir, name + "-spectrum.csv", QByteArray::fromStdString(text.csv()));
    }
    if (!place.pngDir.empty() && c.spectrogram) {
      const QByteArray png = SpectrogramPng(
          *c.spectrogram, kFramePoints, {place.source, c.channel, result.rate, place.fromSeconds, result.seconds()});
      if (png.isEmpty()) {
        std::fprintf(stderr, "quorvel-analyse: %s: channel %d: the spectrogram could not be drawn\n",
                     place.source.c_str(), c.channel);
        ok = false;
      } else {
        write(place.pngDir, name + "-spectrogram.png", png);
      }
    }
  }
  return ok;
}

}  // namespace analyse
