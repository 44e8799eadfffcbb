// SPDX-License-Identifier: Apache-2.0
#include "link/scanner_texts.h"

#include "link/protocol.h"

namespace varnet {

ScannerTexts ReadScannerTexts(ScannerLink& link, const DeviceInfo& info, uint32_t limitMs) {
  ScannerTexts t;
  SendShortCommand(link, 0x0E, 0x0D, 0x02);
  if (auto text = ReadTextReply(link, limitMs); text && !text->empty()) t.firmware = *text;
  if (info.HasFormatBlock()) {
    SendShortCommand(link, 0x0E, 0x0D, 0x53);
    if (auto text = ReadTextReply(link, limitMs); text && !text->empty()) t.serial = *text;
  }
  return t;
}

}  // namespace varnet
