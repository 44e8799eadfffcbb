// SPDX-License-Identifier: Apache-2.0
// How the simulated scanner keeps its settings: what a setting command or a
// record command does to its parameter and format blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/sim_wire.h"

namespace varnet::sim {

// Parameter block offsets the scanner maintains.
namespace param {
constexpr int kModelName = 0, kModelCode = 16, kSymbologyMask = 20, kCodeId = 39, kEnding = 40, kCase = 42,
              kInterface = 43, kBaud = 44, kKeyboard = 52, kCodePage = 53, kScanMode = 55, kSenseTrigger = 56,
              kExposure = 58, kGain = 60, kLeds = 61, kAiming = 62, kIllumMode = 63, kIllumLevel = 64,
              kPowerOnBeep = 65, kGoodReadBeep = 66, kBeepFreq = 68, kInterval = 84, kSameMode = 88, kSensitivity = 138,
              kAimingFlag = 139, kDecodeArea = 140, kRedundancy = 143, kBadReadOn = 144, kBadReadMsg = 145,
              kPolarity = 156, kStartCmd = 168, kStopCmd = 178, kFlags = 188;
}  // namespace param

// Format block tables, indexed by symbology slot.
namespace format {
constexpr int kPrefix = 0, kSuffix = 280, kLeadCut = 560, kEndCut = 595, kSlots = 35, kMinSize = 627;
}  // namespace format

// Carries out one setting command (P1 P2 P3) on the parameter block.
// False when the scanner does not know the command (it is then refused).
bool ApplySetting(std::vector<uint8_t>& param, uint8_t p1, uint8_t p2, uint8_t p3);

// The code page the scanner stores for the selector value of the A1 4C record
// (1, 2, 4 .. 15); nullopt for a value it does not know.
std::optional<uint8_t> CodePageForSelector(uint8_t selector);

// Slot of a symbology code in the format block tables; nullopt for codes
// that have no slot.
std::optional<int> SymbologySlot(uint8_t code);

struct RecordOutcome {
  bool accepted = false;         // every record known and valid
  bool restoreDefaults = false;  // A1 01 0F was among them
};
// Applies the records of one record command, all or nothing: an unknown or
// invalid record refuses the whole command and changes nothing. Format
// records need a format block.
RecordOutcome ApplyRecords(const std::vector<Record>& records, std::vector<uint8_t>& param,
                           std::optional<std::vector<uint8_t>>& format);

}  // namespace varnet::sim
