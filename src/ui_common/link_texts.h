// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "link/device_info.h"
#include "link/discovery.h"
#include "link/serial_link.h"
#include "ui_common/prompts.h"

namespace varnet {

// What the front ends tell people about the link and the scanner on it; the
// link itself only reports what happened.

// "Open COM Failed" with the reason of the link's last failed open.
Message OpenFailureMessage(const ScannerLink& link);

// ReadDeviceInformation as both front ends connect: when it leaves no format
// block, the notice that the scanner works without its extended functions,
// and the connection goes on.
bool ReadDeviceInformationWithNotice(ScannerLink& link, DeviceInfo& info, Prompts& prompts);

// Name of a device type as the device list shows it (leading blanks kept).
const char* DeviceTypeName(int deviceType, bool chinese);

// One row of the device list.
struct DeviceRow {
  std::string number;  // "1", "2", ...
  std::string status;  // "Ready" / "Not Ready" (or the Chinese texts)
  std::string description;
  std::string firmware;
};
DeviceRow DeviceRowFor(const FoundScanner& found, bool chinese);

}  // namespace varnet
