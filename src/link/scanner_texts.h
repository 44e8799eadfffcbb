// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "link/device_info.h"
#include "link/serial_link.h"

namespace varnet {

inline constexpr const char* kUnknownText = "Unknow";

// Firmware version and serial number texts; "Unknow" until the scanner
// answers. The serial number is asked only while a format block is held.
struct ScannerTexts {
  std::string firmware = kUnknownText;
  std::string serial = kUnknownText;
};
ScannerTexts ReadScannerTexts(ScannerLink& link, const DeviceInfo& info, uint32_t limitMs = 250);

}  // namespace varnet
