// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace varnet {

// "CR" for 0D: the name a control byte 00..1F is shown by, wherever bytes
// are shown as text (scanned data, prefixes and suffixes); "" for any other.
const char* ControlName(uint8_t byte);

}  // namespace varnet
