// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FakeScopeLog.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quorvel::fakes {

namespace {

[[noreturn]] void bad(size_t line, const std::string& why) {
  throw std::runtime_error("fake scope log, line " + std::to_string(line) + ": " + why);
}

// Reads a quoted name starting at s[i] == '"'; leaves i after the closing quote.
std::string unquote(const std::string& s, size_t& i, size_t line) {
  std::string out;
  for (++i; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      ++i;
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == s.size()) break;
    if (s[i] == 'x') {
      if (i + 2 >= s.size()) break;
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  bad(line, "unterminated name");
}

}  // namespace

int32_t FakeScopeCall::intArg(size_t i) const { return static_cast<int32_t>(std::stol(args.at(i))); }
double FakeScopeCall::doubleArg(size_t i) const { return std::stod(args.at(i)); }
int32_t FakeScopeCall::handle() const { return entry == "ScopeCreate" ? intArg(3) : intArg(0); }
std::array<double, 3> FakeScopeCall::point() const { return {doubleArg(1), doubleArg(2), doubleArg(3)}; }

std::vector<FakeScopeCall> parseFakeScopeLog(const std::string& text) {
  std::vector<FakeScopeCall> calls;
  std::istringstream in(text);
  std::string s;
  for (size_t line = 1; std::getline(in, s); ++line) {
    if (s.empty()) continue;
    FakeScopeCall call;
    size_t i = 0;
    while (i < s.size()) {
      const size_t start = i;
      if (s[i] == '"') {
        call.scopeName = unquote(s, i, line);
        call.args.push_back(s.substr(start, i - start));
      } else {
        i = std::min(s.find(' ', i), s.size());
        (call.entry.empty() ? call.entry : call.args.emplace_back()) = s.substr(start, i - start);
      }
      if (i < s.size() && s[i] != ' ') bad(line, "expected a space");
      ++i;
    }
    if (call.entry.empty()) bad(line, "no entry point");
    if (call.entry == "ScopeCreate" && call.args.size() != 4) bad(line, "ScopeCreate needs four fields");
    calls.push_back(std::move(call));
  }
  return calls;
}

std::vector<FakeScopeCall> readFakeScopeLog(const std::string& path) {
  std::ifstream f(path);
  if (!f) throw std::runtime_error("cannot read fake scope log " + path);
  std::ostringstream text;
  text << f.rdbuf();
  return parseFakeScopeLog(text.str());
}

std::string quoteScopeName(const char* name) {
  if (!name) return "null";
  std::string out = "\"";
  for (const char* p = name; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string formatDouble(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string fakeScopeDir(const std::string& variant) { return std::string(QUORVEL_FAKE_SCOPE_DIR) + "/" + variant; }

}  // namespace quorvel::fakes
