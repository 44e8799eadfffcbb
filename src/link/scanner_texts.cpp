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

const char* DeviceTypeName(int deviceType, bool chinese) {
  switch (deviceType) {
    case 1: return chinese ? "  二维扫码器" : "   2D Barcode Scanner";
    case 2: return chinese ? "   固定式扫码器" : "   Fixed Mount Scanner";
    case 3: return chinese ? "   桌上型扫码器" : "   On Counter Scanner";
    case 4:
    case 5: return chinese ? "   DPM 扫码器" : "   DPM Scanner";
    default: return "";
  }
}

}  // namespace varnet
