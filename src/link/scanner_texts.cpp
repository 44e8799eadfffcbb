// SPDX-License-Identifier: Apache-2.0
#include "link/scanner_texts.h"

#include "link/protocol.h"

namespace varnet {

ScannerTexts ReadScannerTexts(ScannerLink& link, const DeviceInfo& info, uint32_t limitMs) {
  ScannerTexts t;
  SendShortCommand(link, kQueryFirmware);
  if (auto text = ReadTextReply(link, limitMs); text && !text->empty()) t.firmware = *text;
  if (info.HasFormatBlock()) {
    SendShortCommand(link, kQuerySerial);
    if (auto text = ReadTextReply(link, limitMs); text && !text->empty()) t.serial = *text;
  }
  return t;
}

}  // namespace varnet
