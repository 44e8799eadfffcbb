// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace varnet {

struct ScannerLink;

// Unasked output of the scanner is collected into this many bytes; a burst
// that fills them is not shown.
constexpr size_t kScanBurstMax = 1024;
// Longest text a reading becomes. Control bytes grow to five characters
// each, so long bursts are cut, but only between whole items.
constexpr size_t kScanTextMax = 1024;

// Bytes as the result list shows them: control bytes 00..1F as their names
// in brackets ("[CR]"), 20..7D as themselves, 7E..FF left out. A CR that is
// followed by anything but LF ends the reading.
std::string ConvertScanData(const uint8_t* bytes, size_t n);

// The name of a control byte 00..1F ("CR"), as the result list shows it.
const char* ControlCharName(uint8_t byte);

// One reading from the link: collects until the line has been quiet for
// more than 20 ms (before the first byte) or 10 ms (after one). False when
// nothing came, when 1024 bytes came without a pause, when the burst starts
// with an acknowledgement or refusal, or when nothing of it is printable.
bool ReadScanData(ScannerLink& link, std::string& text);

// Where a new row of the result list goes: when the list already holds
// `rowLimit` rows it is emptied first; the row is numbered after the rows
// before it.
struct ScanRowPlacement {
  bool clearFirst = false;
  int number = 1;
};
ScanRowPlacement PlaceScanRow(size_t rowsNow, uint8_t rowLimit);

}  // namespace varnet
