// SPDX-License-Identifier: Apache-2.0
#include "profiles/yaml11.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace varnet::profiles {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// U+2028 and U+2029 break lines in YAML 1.1; U+FEFF is a byte order mark.
// They are written as escapes.
size_t SpecialAt(std::string_view s, size_t i, uint32_t& codePoint) {
  if (i + 2 >= s.size()) return 0;
  const auto a = uint8_t(s[i]), b = uint8_t(s[i + 1]), c = uint8_t(s[i + 2]);
  if (a == 0xE2 && b == 0x80 && (c == 0xA8 || c == 0xA9)) return codePoint = c == 0xA8 ? 0x2028 : 0x2029, 3;
  if (a == 0xEF && b == 0xBB && c == 0xBF) return codePoint = 0xFEFF, 3;
  return 0;
}

// Digits of `base` with '_' separators; at least one digit.
std::optional<int64_t> Digits(std::string_view s, int base) {
  int64_t v = 0;
  bool any = false;
  for (char c : s) {
    if (c == '_') continue;
    int d = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
    if (d >= base) return std::nullopt;
    if (v > (INT64_MAX - d) / base) return std::nullopt;  // too large for anything a profile holds
    v = v * base + d;
    any = true;
  }
  if (!any) return std::nullopt;
  return v;
}

}  // namespace

std::optional<bool> Yaml11Bool(std::string_view s) {
  static constexpr std::array<std::string_view, 12> kTrue{"y",    "Y",    "yes", "Yes", "YES", "true",
                                                          "True", "TRUE", "on",  "On",  "ON",  ""};
  static constexpr std::array<std::string_view, 12> kFalse{"n",     "N",     "no",  "No",  "NO",  "false",
                                                           "False", "FALSE", "off", "Off", "OFF", ""};
  if (s.empty()) return std::nullopt;
  for (std::string_view t : kTrue)
    if (s == t) return true;
  for (std::string_view f : kFalse)
    if (s == f) return false;
  return std::nullopt;
}

std::optional<int64_t> Yaml11Int(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || !IsDigit(s[0])) return std::nullopt;
  std::optional<int64_t> v;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    v = Digits(s.substr(2), 16);
  } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B')) {
    v = Digits(s.substr(2), 2);
  } else if (s.find(':') != std::string_view::npos) {
    // Base 60: 1:30 is 90. The first part may not start with 0.
    if (s[0] == '0') return std::nullopt;
    int64_t total = 0;
    size_t at = 0;
    bool first = true;
    while (at <= s.size()) {
      const size_t end = std::min(s.find(':', at), s.size());
      const std::string_view part = s.substr(at, end - at);
      auto d = Digits(part, 10);
      if (!d || (!first && (part.size() > 2 || *d > 59))) return std::nullopt;
      if (total > (INT64_MAX - *d) / 60) return std::nullopt;
      total = total * 60 + *d;
      first = false;
      at = end + 1;
    }
    v = total;
  } else if (s.size() > 1 && s[0] == '0') {
    v = Digits(s.substr(1), 8);
  } else {
    v = Digits(s, 10);
  }
  if (!v) return std::nullopt;
  return negative ? -*v : *v;
}

bool NeedsQuotes(std::string_view s) {
  if (s.empty() || s.front() == ' ' || s.back() == ' ') return true;
  const char first = s.front();
  if (!IsAlpha(first) && !IsDigit(first) && uint8_t(first) < 0x80) return true;
  bool letterBeyondNumbers = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const auto u = uint8_t(c);
    if (u >= 0x80) {
      // C1 controls (U+0080..U+009F) are not printable YAML characters.
      if (u == 0xC2 && i + 1 < s.size() && uint8_t(s[i + 1]) < 0xA0) return true;
      uint32_t special = 0;
      if (SpecialAt(s, i, special)) return true;
      letterBeyondNumbers = true;
      continue;
    }
    if (IsAlpha(c)) {
      // Letters that the number and date forms use: 0x1F, 1e3, 0o7, 0b1, 2001-12-14t21:59:43z.
      if (std::string_view("abcdefABCDEFxXoObBtTzZ").find(c) == std::string_view::npos) letterBeyondNumbers = true;
      continue;
    }
    if (IsDigit(c) || c == ' ') continue;
    if (std::string_view("-_./()+%").find(c) == std::string_view::npos) return true;
    if (c == '%' || c == '/' || c == '(' || c == ')') letterBeyondNumbers = true;
  }
  if (Yaml11Bool(s)) return true;
  if (s == "null" || s == "Null" || s == "NULL") return true;
  // A text that starts like a number and holds nothing a number, a float or
  // a date could not hold is left to the numbers: quote it.
  if (IsDigit(first) && !letterBeyondNumbers) return true;
  return false;
}

std::string YamlScalar(std::string_view s) {
  if (!NeedsQuotes(s)) return std::string(s);
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    const auto u = uint8_t(s[i]);
    char hex[8];
    uint32_t special = 0;
    if (const size_t n = SpecialAt(s, i, special)) {
      std::snprintf(hex, sizeof hex, "\\u%04X", unsigned(special));
      out += hex;
      i += n - 1;
    } else if (s[i] == '"' || s[i] == '\\') {
      out += '\\';
      out += s[i];
    } else if (u < 0x20 || u == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else if (u == 0xC2 && i + 1 < s.size() && uint8_t(s[i + 1]) < 0xA0) {
      std::snprintf(hex, sizeof hex, "\\x%02X", uint8_t(s[i + 1]));
      out += hex;
      ++i;
    } else {
      out += s[i];
    }
  }
  return out + "\"";
}

}  // namespace varnet::profiles
