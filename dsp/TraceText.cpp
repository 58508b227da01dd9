// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/TraceText.h"

#include "dsp/NumberText.h"
#include "dsp/TraceMeasurements.h"

#include <optional>

namespace dsp {

namespace {

std::string fixedOrNone(std::optional<double> v, int decimals) { return v ? dsp::fixedOrNone(*v, decimals) : "none"; }

std::optional<double> levelOf(std::optional<double> rms) { return rms ? std::optional(rmsDbfs(*rms)) : std::nullopt; }

}  // namespace

std::string traceText(const TraceHistory& h, int64_t from, int64_t to, double zero, int rate, bool clipped) {
  const TraceMeasurements m = measure(h, from, to);
  if (!m.count) return {};
  std::string text;
  text.reserve(m.count * 28 + 300);
  text += std::string("# dbfs: ") + kDbfsConvention + '\n';
  text += "# frequency_hz: " + fixedOrNone(m.frequencyHz(rate), m.frequencyDecimals(rate)) + '\n';
  text += "# period_ms: " + fixedOrNone(m.periodMs(rate), m.periodDecimals(rate)) + '\n';
  text += "# peak_dbfs: " + dsp::fixedOrNone(dbfs(m.peak), 2) + '\n';
  text += "# rms_dbfs: " + fixedOrNone(levelOf(m.rms), 2) + '\n';
  text += "# peak_to_peak: " + sampleText(float(m.peakToPeak())) + '\n';
  text += "# dc: " + fixedOrNone(m.dc, 6) + '\n';
  text += std::string("# clipped: ") + (clipped ? "yes" : "no") + '\n';
  text += "time_ms,value\n";
  h.forEachRun(from, to, [&](const float* v, size_t n, int64_t first) {
    for (size_t k = 0; k < n; ++k) {
      text += fixedText((double(first + int64_t(k)) - zero) * 1000.0 / rate, 5);
      text += ',';
      text += sampleText(v[k]);
      text += '\n';
    }
  });
  return text;
}

}  // namespace dsp
