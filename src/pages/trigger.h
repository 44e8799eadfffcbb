// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/device_info.h"
#include "link/protocol.h"
#include "pages/output_format.h"

namespace varnet {

// Where the trigger settings live in the ParamBlock.
namespace pb {
constexpr size_t TransmitBadRead = 144;
constexpr size_t BadReadMessage = 145;
constexpr size_t kBadReadMessageWidth = 9;
constexpr size_t PulsePolarity = 156;
constexpr size_t StartCommand = 168;
constexpr size_t StopCommand = 178;
constexpr size_t kCommandWidth = 10;
}  // namespace pb

// What the trigger page shows: polarity row 0 "NPN", 1 "PNP", -1 none;
// texts are 8-bit characters.
struct TriggerValues {
  int polarityRow = 0;
  std::string startCommand;
  std::string stopCommand;
  bool transmitBadRead = false;
  std::string badReadMessage;

  bool operator==(const TriggerValues&) const = default;
};

TriggerValues TriggerValuesFrom(const ParamBlock& pb);

// The records of one "Set". An empty text is sent as a single 00; a text
// is cut to its field's width (a stored command may fill all 10 bytes).
std::vector<Record> TriggerRecords(const TriggerValues& v);

// After the scanner acknowledged: polarity, the check box and the three
// texts (with their zero where the field has room) into the ParamBlock.
void StoreTriggerValues(const TriggerValues& v, ParamBlock& pb);

// The whole "Set": the record command, the acknowledgement within 500 ms,
// then the write-back and SettingsDirty. Nothing is written back without
// the acknowledgement.
SetOutcome SetTrigger(ScannerLink& link, DeviceInfo& info, const TriggerValues& v);

}  // namespace varnet
