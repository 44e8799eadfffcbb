// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cctype>
#include <string>
#include <string_view>

namespace varnet {

// How names that people give are matched and quoted back to them.

// Without surrounding blanks: the catalogue's "Low " is given as "Low".
inline std::string Trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

// Trimmed and in lower case: names compare this way, ignoring case.
inline std::string Folded(std::string_view s) {
  std::string r = Trimmed(s);
  for (char& c : r) c = char(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

// In double quotes, as a message names what was written.
inline std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace varnet
