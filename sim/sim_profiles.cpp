// SPDX-License-Identifier: Apache-2.0
#include <cstring>

#include "sim/sim_blocks.h"
#include "sim/sim_scanner.h"

namespace varnet::sim {

std::vector<std::string> ProfileNames() { return {"usb", "legacy", "code2-qb55", "code5", "code6", "rs232"}; }

Profile ProfileNamed(const std::string& name) {
  Profile p;
  if (name == "legacy") {
    // Older firmware: no format block, and it wants A0 00 11 at connection.
    p.modelName = "HS-2D";
    p.firmware = "HS2D-V1.02";
    p.hasFormatBlock = false;
    p.paramBlock[param::kFlags] = 0x00;
  } else if (name == "code2-qb55") {
    p.deviceType = 2;
    p.modelName = "QB-55";
    p.modelCode = 2;
    p.firmware = "QB55-V3.10.2";
    p.serial = "SNQB5500777";
  } else if (name == "code5") {
    p.deviceType = 4;
    p.modelName = "HD-50";
    p.modelCode = 5;
    p.firmware = "HD50-V1.8.4";
    p.serial = "SNHD5000042";
    p.paramBlock[param::kLeds] = 1;  // white LED
  } else if (name == "code6") {
    p.deviceType = 5;
    p.modelName = "HD-60";
    p.modelCode = 6;
    p.firmware = "HD60-V2.0.1";
    p.serial = "SNHD6000017";
    p.paramBlock[param::kLeds] = 0;
  } else if (name == "rs232") {
    p.rs232Baud = 57600;
    p.paramBlock[param::kInterface] = 1;
    PutLe32(p.paramBlock, param::kBaud, 57600);
    p.serial = "SN2D00232232";
  }
  return p;
}

}  // namespace varnet::sim
