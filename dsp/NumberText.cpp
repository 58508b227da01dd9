// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/NumberText.h"

#include <charconv>
#include <cmath>

namespace dsp {

namespace {

// v with `decimals` decimals, rounded as the C library rounds: to the
// nearest, ties to even.
std::string fixed(double v, int decimals) {
  // The integer part of a double has at most 309 digits.
  std::string s(size_t(decimals) + 330, '\0');
  const auto [end, error] = std::to_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed, decimals);
  s.resize(error == std::errc{} ? size_t(end - s.data()) : 0);
  return s;
}

// |v| rounded up to `decimals` decimals when it lies exactly halfway
// between two such numbers; empty otherwise.
std::string halfwayRoundedUp(double v, int decimals) {
  const double a = std::fabs(v);
  if (a < 0.5 * std::pow(10.0, -decimals)) return {};
  // Most values are told at once: a 10^decimals (10^22 at most is exact) is
  // within a unit in its last place of what it stands for, so a value
  // halfway has it that close to a half.
  if (decimals <= 22) {
    const double scaled = a * std::pow(10.0, decimals);
    if (std::fabs(scaled - std::floor(scaled) - 0.5) > std::nextafter(scaled, HUGE_VAL) - scaled) return {};
  }
  // a = m 2^(e - 53) with m a whole number below 2^53: its exact expansion
  // has at most 53 - e decimals.
  int e;
  std::frexp(a, &e);
  const int exact = 53 - e;
  if (exact <= decimals) return {};
  std::string s = fixed(a, exact);
  const size_t digit = s.find('.') + 1 + size_t(decimals);
  if (s[digit] != '5' || s.find_first_not_of('0', digit + 1) != std::string::npos) return {};
  s.resize(decimals > 0 ? digit : digit - 1);
  for (size_t i = s.size(); i-- > 0;) {
    if (s[i] == '.') continue;
    if (s[i] != '9') {
      ++s[i];
      return s;
    }
    s[i] = '0';
  }
  return '1' + s;
}

}  // namespace

std::string fixedText(double v, int decimals) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (std::string up = halfwayRoundedUp(v, decimals); !up.empty()) return v < 0 ? '-' + up : up;
  std::string s = fixed(v, decimals);
  if (s.starts_with('-') && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string fixedOrNone(double v, int decimals) { return std::isfinite(v) ? fixedText(v, decimals) : "none"; }

std::string sampleText(float v) {
  if (!std::isfinite(v)) return "none";
  const double steps = double(v) * 32768;
  std::string s;
  if (steps == std::round(steps)) {
    // n / 2^15 has at most 15 decimals, all of them exact.
    s = fixedText(v, 15);
  } else {
    s.resize(64);
    const auto [end, error] = std::to_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
    s.resize(error == std::errc{} ? size_t(end - s.data()) : 0);
    if (s.find('.') == std::string::npos) s += ".0";
  }
  // Trailing zeros say nothing; one decimal stays.
  while (s.ends_with('0') && s[s.size() - 2] != '.') s.pop_back();
  return s;
}

}  // namespace dsp
