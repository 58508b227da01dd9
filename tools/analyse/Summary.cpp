// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/Summary.h"

#include <algorithm>
#include <optional>

#include "dsp/FrameText.h"
#include "dsp/NumberText.h"

namespace analyse {

namespace {

std::string Number(const std::optional<double>& v, int decimals) { return v ? dsp::fixedOrNone(*v, decimals) : "none"; }

// A field as RFC 4180 has it: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + '"';
}

}  // namespace

const std::vector<std::string>& Summary::columns() {
  static const std::vector<std::string> names{
      "file",  "channel", "rate_hz",         "seconds",     "peak_dbfs",     "rms_dbfs",          "dc",
      "crest", "peak_hz", "peak_level_dbfs", "thd_percent", "loudness_lufs", "loudness_range_lu", "true_peak_dbtp"};
  return names;
}

void Summary::add(const std::string& source, const Result& r) {
  for (const ChannelResult& c : r.channels) {
    const dsp::PointStats& s = c.levels;
    const dsp::ReadingsText readings = dsp::readingsText(c.estimates, c.binHz);
    // The levels of silence are -infinity and do not exist, nor does its crest factor.
    const double crest = s.crestFactor();
    rows_.push_back({
        source,
        std::to_string(c.channel),
        std::to_string(r.rate),
        dsp::fixedOrNone(r.seconds(), 3),
        dsp::fixedOrNone(dsp::dbfs(s.peak()), 2),
        dsp::fixedOrNone(dsp::rmsDbfs(s.rms()), 2),
        dsp::fixedOrNone(s.mean(), 6),
        Number(crest > 0 ? std::optional(crest) : std::nullopt, 2),
        readings.hz,
        readings.dbfs,
        readings.thdPercent,
        Number(r.loudnessLufs, 2),
        Number(r.loudnessRangeLu, 2),
        Number(c.truePeakDbtp, 2),
    });
  }
}

std::string Summary::csv() const {
  std::string s;
  auto line = [&s](const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) s += (i ? "," : "") + CsvField(fields[i]);
    s += '\n';
  };
  line(columns());
  for (const auto& row : rows_) line(row);
  return s;
}

std::string Summary::table() const {
  std::vector<size_t> widths;
  for (const std::string& c : columns()) widths.push_back(c.size());
  for (const auto& row : rows_)
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  std::string s;
  // The file name to the left, numbers to the right, two spaces apart.
  auto line = [&](const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string pad(widths[i] - fields[i].size(), ' ');
      if (i) s += "  ";
      s += i == 0 ? fields[i] + (i + 1 < fields.size() ? pad : "") : pad + fields[i];
    }
    s += '\n';
  };
  line(columns());
  for (const auto& row : rows_) line(row);
  return s;
}

}  // namespace analyse
