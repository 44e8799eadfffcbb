// SPDX-License-Identifier: Apache-2.0
// Linux only: what discovery takes from udev for one device, and the
// filters it applies, apart from udev so they can be checked on made-up devices.
#pragma once
#include <string>

namespace varnet::platform {

struct UdevDeviceFacts {
  std::string subsystem;     // "tty", "usb"
  std::string sysname;       // "ttyACM0"
  std::string usbVendor;     // idVendor of the USB device above it, lower-case hex
  std::string usbProduct;    // idProduct
  bool hasParent = false;    // a tty with a real device behind it
  std::string parentDriver;  // "serial8250", ...
  std::string serialType;    // sysfs "type" of a serial port; "0" is unknown
};

bool IsKeyboardScanner(const UdevDeviceFacts& usbDevice);
bool IsUsbScannerPort(const UdevDeviceFacts& tty);
bool IsSerialPort(const UdevDeviceFacts& tty);

}  // namespace varnet::platform
