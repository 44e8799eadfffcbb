// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <vector>

#include "link/device_info.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "ui_common/prompts.h"

namespace varnet {

struct RestoreResult {
  bool acknowledged = false;  // the scanner acknowledged the restore command
  bool refreshed = false;     // the parameter block was read back afterwards
};

constexpr uint32_t kRestoreAckMs = 1500;

// The records of the restore command (A0 02 09, A1 01 0F).
const std::vector<Record>& RestoreDefaultsRecords();

// Makes the scanner restore its factory settings and reads both blocks back.
// The export page disables itself around the call.
RestoreResult RestoreDefaults(ScannerLink& link, DeviceInfo& info, Prompts& prompts);

}  // namespace varnet
