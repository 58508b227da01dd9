// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/FrameText.h"

#include "dsp/NumberText.h"
#include "dsp/TraceMeasurements.h"

#include <cmath>

namespace dsp {

namespace {

std::string number(const std::optional<double>& v, int decimals) { return v ? fixedOrNone(*v, decimals) : "none"; }

double at(const std::vector<double>& v, size_t k) { return k < v.size() ? v[k] : std::nan(""); }

}  // namespace

ReadingsText readingsText(const FrameEstimates& e, double binHz) {
  const std::optional<Tone>& t = e.peak;
  const std::optional<HarmonicAnalysis>& h = e.harmonics;
  const int thd = h ? thdDecimals(*h) : 0;
  return {number(t ? std::optional(t->hz(binHz)) : std::nullopt, t ? t->hzDecimals(binHz) : 0),
          number(t ? std::optional(t->dbfs()) : std::nullopt, t ? t->dbDecimals() : 0), number(e.thdPercent(), thd),
          number(e.thdBoundPercent(), thd)};
}

std::string FrameText::csv() const {
  const size_t bins = frame.levels.size();
  std::string s;
  s.reserve(bins * 48 + 800);
  s += std::string("# dbfs: ") + kDbfsConvention + '\n';
  const ReadingsText now = readingsText(estimates, binHz);
  s += "# peak_hz: " + now.hz + '\n';
  s += "# peak_dbfs: " + now.dbfs + '\n';
  s += "# thd_percent: " + now.thdPercent + '\n';
  s += "# thd_percent_below: " + now.thdPercentBelow + '\n';
  const std::optional<HarmonicAnalysis>& h = estimates.harmonics;
  s += "# thd_harmonics: " +
       (h && h->why == NoThd::None ? "2 to " + std::to_string(h->highestOrder) : std::string("none")) + '\n';
  const ReadingsText hold = readingsText(held, binHz);
  s += "# hold_peak_hz: " + hold.hz + '\n';
  s += "# hold_peak_dbfs: " + hold.dbfs + '\n';
  s += "# bins: " + std::to_string(bins) + '\n';
  s += "# bin_hz: " + fixedOrNone(binHz, 4) + '\n';
  s += "# level_db: the analyser's level, smoothed over frames in dB (noise reads about 2.5 dB under its power)\n";
  s += "# amplitude_percent: the bin's amplitude in percent of full scale, this frame alone\n";
  s += "# peak_hold_db: the highest amplitude_percent held, in dB\n";
  s += "frequency_hz,level_db,amplitude_percent,peak_hold_db\n";
  for (size_t k = 0; k < bins; ++k) {
    s += fixedOrNone(double(k) * binHz, 2) + ',' + fixedOrNone(frame.levels[k], 2) + ',' +
         fixedOrNone(at(frame.amplitudes, k) + 100, 6) + ',' + fixedOrNone(at(peakHold, k), 2) + '\n';
  }
  return s;
}

}  // namespace dsp
