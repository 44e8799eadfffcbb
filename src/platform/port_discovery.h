// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace varnet::platform {

// The system's answers to the search's three questions: udev on Linux; the
// registry's SERIALCOMM key and SetupAPI on Windows.
// Scanners attached as USB keyboards (vendor 5F3C, products 0190..019F),
// one per device whatever number of interfaces it has.
int CountKeyboardScanners();
// Port names of the scanners' USB virtual serial ports (5F3C:0187).
std::vector<std::string> ListUsbScannerPorts();
// Every serial port of the system, in the system's order.
std::vector<std::string> ListSerialPorts();

// The scanners' USB identities, shared by both systems' lookups.
bool IsScannerVirtualPort(uint16_t vendor, uint16_t product);
bool IsScannerKeyboard(uint16_t vendor, uint16_t product);

// What a Windows device instance id says of a USB device:
// USB\VID_5F3C&PID_0187\5&1A2B (the device) or USB\VID_5F3C&PID_0193&MI_00\...
// (one of its interfaces).
struct UsbInstance {
  bool usb = false;
  uint16_t vendor = 0;
  uint16_t product = 0;
  bool isInterface = false;
};
UsbInstance ParseUsbInstanceId(const std::string& instanceId);

}  // namespace varnet::platform
