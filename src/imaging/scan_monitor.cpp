// SPDX-License-Identifier: Apache-2.0
#include "imaging/scan_monitor.h"

#include "link/control_names.h"
#include "link/protocol.h"
#include "link/serial_link.h"

namespace varnet {

std::string ConvertScanData(const uint8_t* bytes, size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) {
    uint8_t b = bytes[i];
    if (b < 0x20) {
      std::string item = std::string("[") + ControlName(b) + "]";
      if (text.size() + item.size() > kScanTextMax) break;
      text += item;
      // A lone CR ends the reading; what follows is not part of it.
      if (b == 0x0D && i + 1 < n && bytes[i + 1] != 0x0A) break;
    } else if (b <= 0x7D) {
      if (text.size() + 1 > kScanTextMax) break;
      text.push_back(char(b));
    }
  }
  return text;
}

ScanReading ListenForScanData(ScannerLink& link) {
  ScanReading reading;
  if (!link.Usable()) {
    reading.kind = ScanBurst::Closed;
    return reading;
  }
  uint8_t buf[kScanBurstMax];
  CollectResult r = CollectUntilIdle(link, buf, sizeof buf, 20, 10, true);
  reading.bytes.assign(buf, buf + r.count);
  if (r.end == CollectEnd::Closed) reading.kind = ScanBurst::Closed;
  else if (r.end == CollectEnd::Full) reading.kind = ScanBurst::TooLong;
  else if (r.count == 0) reading.kind = ScanBurst::Nothing;
  // A late answer to a command is not a reading.
  else if (StartsWithAck(buf, r.count) || StartsWithNak(buf, r.count)) reading.kind = ScanBurst::Reply;
  else if ((reading.text = ConvertScanData(buf, r.count)).empty()) reading.kind = ScanBurst::Unprintable;
  else reading.kind = ScanBurst::Reading;
  return reading;
}

bool ReadScanData(ScannerLink& link, std::string& text) {
  ScanReading reading = ListenForScanData(link);
  text = reading.kind == ScanBurst::Reading ? std::move(reading.text) : std::string();
  return reading.kind == ScanBurst::Reading;
}

ScanRowPlacement PlaceScanRow(size_t rowsNow, uint8_t rowLimit) {
  if (rowsNow >= rowLimit) return {true, 1};
  return {false, int(rowsNow) + 1};
}

}  // namespace varnet
