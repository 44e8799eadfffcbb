// SPDX-License-Identifier: Apache-2.0
#include "pages/page_text.h"

#include <algorithm>

namespace varnet {

std::string FieldText(const uint8_t* field, size_t width) {
  std::string s;
  for (size_t i = 0; i < width && field[i] != 0; ++i) s.push_back(char(field[i]));
  return s;
}

std::vector<uint8_t> TextValue(std::string_view text, size_t maxLen) {
  std::vector<uint8_t> v;
  for (char c : text)
    if (IsStorableChar(uint8_t(c)) && v.size() < maxLen) v.push_back(uint8_t(c));
  return v;
}

void StoreFieldText(uint8_t* field, size_t width, std::string_view text) {
  size_t n = std::min(width, text.size());
  std::copy_n(reinterpret_cast<const uint8_t*>(text.data()), n, field);
  if (n < width) field[n] = 0;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  for (char ch : text) {
    auto c = uint8_t(ch);
    if (c < 0x80) {
      out.push_back(char(c));
    } else {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace varnet
