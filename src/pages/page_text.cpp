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

TypedTextCheck CheckTypedText(std::string_view utf8, std::string* latin1) {
  std::string out;
  bool unstorable = false;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = uint8_t(utf8[i]);
    uint32_t cp = 0;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1Fu;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0Fu;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07u;
      len = 4;
    } else {
      return TypedTextCheck::NotUtf8;
    }
    if (i + len > utf8.size()) return TypedTextCheck::NotUtf8;
    for (size_t k = 1; k < len; ++k) {
      const auto cont = uint8_t(utf8[i + k]);
      if ((cont & 0xC0) != 0x80) return TypedTextCheck::NotUtf8;
      cp = cp << 6 | (cont & 0x3Fu);
    }
    // Overlong forms would let a 00 or an FF slip past the check below.
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[len] || cp > 0x10FFFF) return TypedTextCheck::NotUtf8;
    i += len;
    if (cp > 0xFF) return TypedTextCheck::NotLatin1;
    if (!IsStorableChar(cp)) unstorable = true;
    out.push_back(char(cp));
  }
  if (unstorable) return TypedTextCheck::Unstorable;
  if (out.size() > kMaxTypedChars) return TypedTextCheck::TooLong;
  if (latin1) *latin1 = std::move(out);
  return TypedTextCheck::Ok;
}

const char* TypedTextCheckText(TypedTextCheck check) {
  switch (check) {
    case TypedTextCheck::Ok: return "";
    case TypedTextCheck::TooLong: return "longer than the 8 characters the page takes";
    case TypedTextCheck::Unstorable: return "holds a character the scanner cannot store (00 or FF)";
    case TypedTextCheck::NotLatin1: return "holds a character outside ISO-8859-1";
    case TypedTextCheck::NotUtf8: return "is not valid UTF-8";
  }
  return "";
}

}  // namespace varnet
