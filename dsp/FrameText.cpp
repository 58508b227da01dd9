// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/FrameText.h"

#include "dsp/NumberText.h"

#include <cmath>

namespace dsp {

namespace {

std::string number(const std::optional<double>& v, int decimals) { return v ? fixedOrNone(*v, decimals) : "none"; }

double at(const std::vector<double>& v, size_t k) { return k < v.size() ? v[k] : std::nan(""); }

}  // namespace

std::string FrameText::csv() const {
  const size_t bins = frame.levels.size();
  std::string s;
  s.reserve(bins * 40 + 200);
  s += "# peak_hz: " + number(peak ? std::optional(peak->hz(binHz)) : std::nullopt, 2) + '\n';
  s += "# peak_dbfs: " + number(peak ? std::optional(peak->dbfs()) : std::nullopt, 2) + '\n';
  s += "# thd_percent: " + number(thdPercent, 4) + '\n';
  s += "# bins: " + std::to_string(bins) + '\n';
  s += "# bin_hz: " + fixedOrNone(binHz, 4) + '\n';
  s += "frequency_hz,level_db,amplitude_percent,peak_hold_db\n";
  for (size_t k = 0; k < bins; ++k) {
    s += fixedOrNone(double(k) * binHz, 2) + ',' + fixedOrNone(frame.levels[k], 2) + ',' +
         fixedOrNone(at(frame.amplitudes, k), 4) + ',' + fixedOrNone(at(peakHold, k), 2) + '\n';
  }
  return s;
}

}  // namespace dsp
