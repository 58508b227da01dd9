// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/MicrophoneCorrection.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace dsp {

namespace {

// Levels further off than this are not a microphone's response.
constexpr double kLargestDb = 100;

std::string_view trimmed(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  const auto separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; };
  while (i < line.size()) {
    while (i < line.size() && separator(line[i])) ++i;
    std::size_t j = i;
    while (j < line.size() && !separator(line[j])) ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

// The whole field as a number (a leading '+' allowed), or nothing.
std::optional<double> number(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

bool hasNoCase(std::string_view s, std::string_view what) {
  return std::search(s.begin(), s.end(), what.begin(), what.end(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         }) != s.end();
}

std::string lineText(std::size_t n, const std::string& why) { return "line " + std::to_string(n) + ": " + why; }

std::string quoted(std::string_view s) {
  constexpr std::size_t kLongest = 40;
  return "\"" + std::string(s.substr(0, kLongest)) + (s.size() > kLongest ? "...\"" : "\"");
}

}  // namespace

double MicrophoneCorrection::responseDb(double f) const {
  if (hz.empty()) return 0;
  if (f <= hz.front()) return db.front();
  if (f >= hz.back()) return db.back();
  const std::size_t i = std::size_t(std::upper_bound(hz.begin(), hz.end(), f) - hz.begin());
  const double t = std::log(f / hz[i - 1]) / std::log(hz[i] / hz[i - 1]);
  return db[i - 1] + t * (db[i] - db[i - 1]);
}

std::optional<MicrophoneCorrection> parseMicrophoneCorrection(std::string_view text, std::string& error) {
  MicrophoneCorrection c;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    ++lineNumber;
    if (line.empty()) continue;
    const bool comment = line.front() == '*' || line.front() == '#' || line.front() == ';' || line.front() == '"' ||
                         line.substr(0, 2) == "//";
    if (hasNoCase(line, "sens factor")) {
      const std::size_t eq = line.find('=');
      std::string_view value = eq == std::string_view::npos ? std::string_view() : trimmed(line.substr(eq + 1));
      std::size_t stop = 0;
      while (stop < value.size() &&
             (std::isdigit(static_cast<unsigned char>(value[stop])) || value[stop] == '.' || value[stop] == '-' ||
              value[stop] == '+' || value[stop] == 'e' || value[stop] == 'E'))
        ++stop;
      const std::optional<double> sens = number(value.substr(0, stop));
      if (!sens) {
        error = lineText(lineNumber, "\"Sens Factor\" without a number after '='");
        return std::nullopt;
      }
      c.sensFactorDb = *sens;
      continue;
    }
    if (comment) continue;
    const std::vector<std::string_view> f = fields(line);
    const std::optional<double> hz = number(f[0]);
    if (!hz) {
      // Column names, before the first frequency, are not data.
      if (c.hz.empty() && std::none_of(f.begin(), f.end(), [](std::string_view s) { return number(s).has_value(); }))
        continue;
      error = lineText(lineNumber, "expected a frequency in Hz, found " + quoted(f[0]));
      return std::nullopt;
    }
    if (f.size() < 2) {
      error = lineText(lineNumber, "a frequency without a level in dB");
      return std::nullopt;
    }
    if (f.size() > 3) {
      error = lineText(lineNumber, "more than a frequency, a level and a phase: " + quoted(f[3]));
      return std::nullopt;
    }
    const std::optional<double> db = number(f[1]);
    if (!db) {
      error = lineText(lineNumber, "expected a level in dB, found " + quoted(f[1]));
      return std::nullopt;
    }
    if (f.size() == 3 && !number(f[2])) {
      error = lineText(lineNumber, "expected a phase in degrees, found " + quoted(f[2]));
      return std::nullopt;
    }
    if (*hz <= 0) {
      error = lineText(lineNumber, "the frequency " + std::string(f[0]) + " Hz is not above 0");
      return std::nullopt;
    }
    if (!c.hz.empty() && *hz <= c.hz.back()) {
      error = lineText(lineNumber, "the frequency " + std::string(f[0]) + " Hz does not rise above the line before's");
      return std::nullopt;
    }
    if (std::fabs(*db) > kLargestDb) {
      error = lineText(lineNumber, "a level of " + std::string(f[1]) + " dB is not a microphone's response");
      return std::nullopt;
    }
    c.hz.push_back(*hz);
    c.db.push_back(*db);
  }
  if (c.hz.empty()) {
    error = "no line holds a frequency and a level";
    return std::nullopt;
  }
  return c;
}

}  // namespace dsp
