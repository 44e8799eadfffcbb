// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnet::profiles {

// How YAML 1.1 readers (PyYAML, Ansible) take plain scalars. Profiles pass
// through them, so the writer must quote what they would turn into anything
// but a string, and the reader must accept what they write back.

// y, yes, true, on (and n, no, false, off) in their three spellings.
std::optional<bool> Yaml11Bool(std::string_view plain);
// Decimal, 0x hex, 0 octal, 0b binary and base 60, with '_' separators.
std::optional<int64_t> Yaml11Int(std::string_view plain);

// Whether a text written plain would be read back as anything but that
// same string by a YAML 1.1 or 1.2 reader. Conservative: some texts that
// need no quotes get them.
bool NeedsQuotes(std::string_view utf8);
// The text as a YAML scalar: plain when that is safe, else double-quoted
// with escapes.
std::string YamlScalar(std::string_view utf8);

}  // namespace varnet::profiles
