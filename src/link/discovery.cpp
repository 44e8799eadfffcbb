// SPDX-License-Identifier: Apache-2.0
#include "link/discovery.h"

#include <algorithm>
#include <cstdio>

#include "link/protocol.h"
#include "link/scanner_texts.h"

namespace varnet {

bool ProbePort(ScannerLink& link, const std::string& port, uint32_t baud, bool chinese, int rowNumber,
               DeviceRow& row) {
  if (!OpenLink(link, port, baud)) return false;
  int type = QueryDeviceType(link);
  if (type <= 0) {
    CloseLink(link);
    return false;
  }
  row = DeviceRow{};
  row.number = std::to_string(rowNumber);
  row.status = chinese ? "在线" : "Ready";
  const char* name = DeviceTypeName(type, chinese);
  if (chinese) {
    char buf[256];
    if (baud < kUsbProbeRate) std::snprintf(buf, sizeof buf, "%s / RS-232 串口 , 波特率: %u", name, baud);
    else std::snprintf(buf, sizeof buf, "%s / USB 口", name);
    row.description = buf;
  } else {
    row.description = name;
    if (baud < kUsbProbeRate) row.description += " / RS-232 Port";
  }
  SendShortCommand(link, 0x0E, 0x0D, 0x02);
  if (auto text = ReadTextReply(link, 500); text && !text->empty()) row.firmware = *text;
  CloseLink(link);
  return true;
}

SearchResult RunSearch(DeviceRegistry& registry, ScannerLink& link, bool settingMode, bool chinese,
                       const SearchCallbacks& cb, const std::atomic<bool>* cancel) {
  SearchResult result;
  auto cancelled = [&] { return cancel && cancel->load(); };
  auto progress = [&](int p) {
    if (cb.progress) cb.progress(p);
  };
  auto sleep = [&](uint32_t ms) {
    if (cb.sleepMs && !cancelled()) cb.sleepMs(ms);
  };
  auto add = [&](const DeviceRow& row, const DeviceTableEntry& entry) {
    result.DeviceTable[result.rows++] = entry;
    if (cb.addRow) cb.addRow(row);
  };

  // Keyboard-mode scanners: listed, but not reachable until they come back
  // as a virtual serial port.
  int k = std::min<int>(registry.CountKeyboardScanners(), int(kDeviceTableSize));
  result.keyboardCount = uint8_t(k);
  progress(3);
  for (int i = 0; i < k; ++i) {
    DeviceRow row;
    row.number = std::to_string(result.rows + 1);
    row.status = chinese ? "离线" : "Not Ready";
    row.description = chinese ? "  二维扫码器  /  USB 键盘模式" : "  2D Barcode Scanner / USB Keyboard Mode";
    add(row, DeviceTableEntry{});
  }
  sleep(500);

  std::vector<std::string> usbPorts;
  if (k < int(kDeviceTableSize) && !cancelled()) {
    usbPorts = registry.ListUsbScannerPorts();
    if (usbPorts.size() > kDeviceTableSize - size_t(k)) usbPorts.resize(kDeviceTableSize - size_t(k));
    result.usbCount = uint8_t(usbPorts.size());
    progress(6);
    for (const auto& port : usbPorts) {
      if (cancelled()) break;
      DeviceRow row;
      if (ProbePort(link, port, kUsbProbeRate, chinese, int(result.rows + 1), row))
        add(row, DeviceTableEntry{port, 0});
    }
  }

  if (settingMode && size_t(k) + usbPorts.size() < kDeviceTableSize && !cancelled()) {
    for (const auto& port : registry.ListSerialPorts()) {
      if (result.rows >= kDeviceTableSize || cancelled()) break;
      if (std::find(usbPorts.begin(), usbPorts.end(), port) != usbPorts.end()) continue;
      int position = 1;
      for (uint32_t rate : kRs232Rates) {
        if (cancelled()) break;
        progress(position++);
        DeviceRow row;
        if (ProbePort(link, port, rate, chinese, int(result.rows + 1), row)) {
          add(row, DeviceTableEntry{port, rate});
          ++result.rs232Count;
          break;
        }
      }
    }
  }

  progress(8);
  sleep(500);
  CloseLink(link);
  return result;
}

}  // namespace varnet
