// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_link.h"

namespace varnet {

// The system's device database, as the search needs it.
class DeviceRegistry {
 public:
  virtual ~DeviceRegistry() = default;
  // Scanners attached as USB keyboards (vendor 5f3c, products 0190..019f).
  virtual int CountKeyboardScanners() = 0;
  // Port names of the scanner's USB virtual serial ports (5f3c:0187).
  virtual std::vector<std::string> ListUsbScannerPorts() = 0;
  int CountUsbScannerPorts() { return int(ListUsbScannerPorts().size()); }
  // Every serial port of the system, at most 8.
  virtual std::vector<std::string> ListSerialPorts() = 0;
};

// The running system's registry (udev on Linux, the registry and SetupAPI on
// Windows), each list cut to the device table's size.
std::unique_ptr<DeviceRegistry> MakeSystemRegistry();

constexpr size_t kDeviceTableSize = 8;

struct DeviceTableEntry {
  std::string portName;  // empty for a keyboard-mode scanner
  uint32_t baud = 0;     // rate an RS-232 scanner answered at; 0 for USB
};

// Result of the last search: one table entry per list row, and the counts.
struct SearchResult {
  std::array<DeviceTableEntry, kDeviceTableSize> DeviceTable{};
  size_t rows = 0;
  uint8_t keyboardCount = 0;
  uint8_t usbCount = 0;
  uint8_t rs232Count = 0;
};

// What the search found for one row of the device list; the front ends
// word it.
struct FoundScanner {
  size_t row = 0;          // its index in the DeviceTable
  DeviceTableEntry entry;  // no port: a keyboard-mode scanner, which is not asked
  int deviceType = 0;      // what it answered; 0 for a keyboard-mode scanner
  std::string firmware;    // its firmware text, empty when it gave none
};

constexpr uint32_t kUsbProbeRate = 921600;
inline constexpr uint32_t kRs232Rates[] = {9600, 115200, 57600, 38400, 19200, 230400};

// What the search reports while it runs. Called on the thread that runs the
// search, never on a probe's own thread.
struct SearchCallbacks {
  std::function<void(int)> progress;  // position 0..8
  std::function<void(const FoundScanner&)> found;
  std::function<void(uint32_t)> sleepMs;  // the two 500 ms pauses
};

// Opens the port, asks the device type and, when one came, the firmware
// text. `found` is filled when the scanner answered; its entry's rate is 0
// when probed at the USB rate.
bool ProbePort(ScannerLink& link, const std::string& port, uint32_t baud, FoundScanner& found);

// The whole search. settingMode adds the RS-232 ports. Every port is probed
// on a thread of its own, each RS-232 port walking the rates in their order,
// while rows, their numbers and the table come out exactly as if the ports
// had been probed one after the other: a port's row is added once it and
// every port before it are done. The middle progress positions follow the
// slowest RS-232 port still walking. Raising `cancel` (the program is
// closing) ends the search at once; every probe's link is closed by its own
// thread before this returns. atOnce > 0 limits how many ports are probed at
// the same time (1: one after the other).
SearchResult RunSearch(DeviceRegistry& registry, bool settingMode, const SearchCallbacks& cb,
                       const LinkCancel* cancel = nullptr, size_t atOnce = 0);

}  // namespace varnet
