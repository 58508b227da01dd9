// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/Summary.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "dsp/BandsText.h"
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

const std::vector<std::string> kColumns{
    "file",  "channel", "rate_hz",         "seconds",     "peak_dbfs",     "rms_dbfs",          "dc",
    "crest", "peak_hz", "peak_level_dbfs", "thd_percent", "loudness_lufs", "loudness_range_lu", "true_peak_dbtp"};

// The figures of the level columns, in their order.
constexpr dsp::Figure kLevelFigures[] = {dsp::Figure::Leq, dsp::Figure::Max, dsp::Figure::Min, dsp::Figure::L10,
                                         dsp::Figure::L50, dsp::Figure::L90, dsp::Figure::Peak};
constexpr dsp::TimeWeighting kTime = dsp::TimeWeighting::Fast;

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

Summary::Summary(std::optional<LevelColumns> levels) : levels_(std::move(levels)), columns_(kColumns) {
  if (!levels_) return;
  for (dsp::Figure f : kLevelFigures)
    columns_.push_back(Lower(dsp::figureName(f, dsp::figureWeighting(f, levels_->weighting), kTime)) + "_db");
  columns_.push_back("level_unit");
  columns_.push_back("calibrated");
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
    if (!levels_) continue;
    std::vector<std::string>& row = rows_.back();
    const dsp::Calibration& cal = levels_->calibration;
    for (dsp::Figure f : kLevelFigures) {
      // Without a meter (it was not asked for) nothing is read.
      const double dbfs = c.meter ? c.meter->figures(dsp::figureWeighting(f, levels_->weighting), kTime)[f] : NAN;
      row.push_back(dsp::fixedOrNone(cal.figure(f, dbfs), 2));
    }
    row.push_back(cal.unit());
    row.push_back(cal.note());
    if (!c.bands) continue;
    const std::string weighting(1, dsp::weightingLetter(c.bands->weighting()));
    for (const auto& [hz, db] : dsp::bandRows(*c.bands, cal))
      bandRows_.push_back({source, std::to_string(c.channel), weighting, hz, db});
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

std::string Summary::table() const { return AlignedTable(columns_, rows_); }

std::string Summary::bandsTable() const {
  if (bandRows_.empty()) return {};
  return AlignedTable({"file", "channel", "weighting", "band_hz", "level_db"}, bandRows_);
}

std::string AlignedTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const std::string& c : header) widths.push_back(c.size());
  for (const auto& row : rows)
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
  line(header);
  for (const auto& row : rows) line(row);
  return s;
}

}  // namespace analyse
