// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnet {

// Texts that the scanner stores (prefixes, suffixes, trigger commands) are
// 8-bit ISO-8859-1 characters; here they are byte strings, one char per
// character.

// What the user may type into one of these fields.
constexpr size_t kMaxTypedChars = 8;

// Whether a character can go into a stored text: it must fit one byte, and
// neither 00 (it ends a stored text) nor FF (it ends a record on the wire).
constexpr bool IsStorableChar(uint32_t codePoint) { return codePoint > 0 && codePoint < 0xFF; }

// The text of a zero-padded field: its bytes up to the first zero, at most
// `width` of them.
std::string FieldText(const uint8_t* field, size_t width);

// The value bytes of a text record: the text without the bytes that
// IsStorableChar refuses (an FF would end the record early, a 00 would cut
// the stored text), at most `maxLen` of them from the start.
std::vector<uint8_t> TextValue(std::string_view text, size_t maxLen);

// Writes the text and, when it fits, its terminating zero into a field of
// `width` bytes. Bytes after the terminator are left as they are.
void StoreFieldText(uint8_t* field, size_t width, std::string_view text);

// ISO-8859-1 bytes as UTF-8 (for JSON and terminals).
std::string Latin1ToUtf8(std::string_view text);

// Whether a UTF-8 text could be typed into one of the page's edits: at most
// kMaxTypedChars characters, each one IsStorableChar accepts.
enum class TypedTextCheck { Ok, TooLong, Unstorable, NotLatin1, NotUtf8 };
// The text's ISO-8859-1 bytes go to `latin1` when it is Ok.
TypedTextCheck CheckTypedText(std::string_view utf8, std::string* latin1 = nullptr);
const char* TypedTextCheckText(TypedTextCheck check);

}  // namespace varnet
