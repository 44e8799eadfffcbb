// SPDX-License-Identifier: Apache-2.0
#include "link/control_names.h"

namespace varnet {

namespace {

constexpr const char* kControlNames[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",  "VT",  "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS", "GS", "RS", "US",
};

}  // namespace

const char* ControlName(uint8_t byte) { return byte < 0x20 ? kControlNames[byte] : ""; }

}  // namespace varnet
