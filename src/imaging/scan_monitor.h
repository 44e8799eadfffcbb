// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnet {

struct ScannerLink;

// Unasked output of the scanner is collected into this many bytes; a burst
// that fills them is not shown.
constexpr size_t kScanBurstMax = 1024;
// Longest text a reading becomes. Control bytes grow to five characters
// each, so long bursts are cut, but only between whole items.
constexpr size_t kScanTextMax = 1024;

// Bytes as the result list shows them: control bytes 00..1F as their names
// (ControlName) in brackets ("[CR]"), 20..7D as themselves, 7E..FF left out.
// A CR that is followed by anything but LF ends the reading.
std::string ConvertScanData(const uint8_t* bytes, size_t n);

// What one listen for scanned data brought.
enum class ScanBurst {
  Nothing,      // the line stayed quiet
  Reading,      // a reading, `text` not empty
  TooLong,      // 1024 bytes without a pause: not shown
  Reply,        // begins with an acknowledgement or refusal: a late answer
  Unprintable,  // nothing of it can be shown
  Closed,       // the link is closed
};
struct ScanReading {
  ScanBurst kind = ScanBurst::Nothing;
  std::string text;            // as the result list shows it
  std::vector<uint8_t> bytes;  // the burst as it came
};

// One listen: collects until the line has been quiet for more than 20 ms
// (before the first byte) or 10 ms (after one).
ScanReading ListenForScanData(ScannerLink& link);

// The reading of one listen, if it was one.
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
