// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The summary: one row per file and channel, as summary.csv or as an
// aligned table. Every value is text already, written as the exports write
// numbers (dsp/NumberText; "none" where a value does not exist), so the
// table and the CSV show the same digits.
#pragma once

#include <string>
#include <vector>

#include "tools/analyse/Analysis.h"

namespace analyse {

class Summary {
 public:
  // The readings of one span of `source` (a file's name, or the device).
  void add(const std::string& source, const Result& result);
  bool empty() const { return rows_.empty(); }

  static const std::vector<std::string>& columns();
  std::string csv() const;
  std::string table() const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace analyse
