// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The summary: one row per file and channel, as summary.csv or as an
// aligned table. Every value is text already, written as the exports write
// numbers (dsp/NumberText; "none" where a value does not exist), so the
// table and the CSV show the same digits.
//
// With level figures, columns named as a sound level meter names them
// follow (with A: laeq_db, lafmax_db, lafmin_db, laf10_db, laf50_db,
// laf90_db, and always lcpeak_db), then the unit they are in and the
// calibration: the figures the Levels window shows for a measurement as
// long as the span, by the same engine, Fast where a time weighting counts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsp/Calibration.h"
#include "tools/analyse/Analysis.h"

namespace analyse {

struct LevelColumns {
  dsp::Weighting weighting = dsp::Weighting::A;
  dsp::Calibration calibration;
};

class Summary {
 public:
  explicit Summary(std::optional<LevelColumns> levels = std::nullopt);

  // The readings of one span of `source` (a file's name, or the device).
  void add(const std::string& source, const Result& result);
  bool empty() const { return rows_.empty(); }

  const std::vector<std::string>& columns() const { return columns_; }
  std::string csv() const;
  std::string table() const;
  // The band levels of every file and channel with bands, one row per band
  // (file, channel, weighting, band_hz, level_db), as a table; empty when
  // there are none. For a terminal: with --csv they go to files of their own.
  std::string bandsTable() const;

 private:
  std::optional<LevelColumns> levels_;
  std::vector<std::string> columns_;
  std::vector<std::vector<std::string>> rows_, bandRows_;
};

// Rows as an aligned table: the first column to the left, the others to
// the right, two spaces apart.
std::string AlignedTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

}  // namespace analyse
