// SPDX-License-Identifier: Apache-2.0
#include "ui_common/link_texts.h"

#include <cstdio>

namespace varnet {

Message OpenFailureMessage(const ScannerLink& link) {
  return {MessageId::OpenComFailed, Icon::Error, Caption::None, link.lastFailure, link.lastErrno};
}

bool ReadDeviceInformationWithNotice(ScannerLink& link, DeviceInfo& info, Prompts& prompts) {
  if (!ReadDeviceInformation(link, info)) return false;
  if (!info.formatBlock) prompts.Info(MessageId::UpdateFirmware);
  return true;
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

DeviceRow DeviceRowFor(const FoundScanner& found, bool chinese) {
  DeviceRow row;
  row.number = std::to_string(found.row + 1);
  // Keyboard-mode scanners are listed, but not reachable until they come
  // back as a virtual serial port.
  if (found.entry.portName.empty()) {
    row.status = chinese ? "离线" : "Not Ready";
    row.description = chinese ? "  二维扫码器  /  USB 键盘模式" : "  2D Barcode Scanner / USB Keyboard Mode";
    return row;
  }
  row.status = chinese ? "在线" : "Ready";
  const char* name = DeviceTypeName(found.deviceType, chinese);
  const uint32_t baud = found.entry.baud;  // 0: a USB port
  if (chinese) {
    char buf[256];
    if (baud) std::snprintf(buf, sizeof buf, "%s / RS-232 串口 , 波特率: %u", name, baud);
    else std::snprintf(buf, sizeof buf, "%s / USB 口", name);
    row.description = buf;
  } else {
    row.description = name;
    if (baud) row.description += " / RS-232 Port";
  }
  row.firmware = found.firmware;
  return row;
}

}  // namespace varnet
