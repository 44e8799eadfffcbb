// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <map>
#include <string>
#include <vector>

#include "link/discovery.h"

namespace varnet {

// What the registry needs to know of one device, taken from udev.
struct UdevDeviceFacts {
  std::string subsystem;     // "tty", "usb"
  std::string sysname;       // "ttyACM0"
  std::string usbVendor;     // idVendor of the USB device above it, lower-case hex
  std::string usbProduct;    // idProduct
  bool hasParent = false;    // a tty with a real device behind it
  std::string parentDriver;  // "serial8250", ...
  std::string serialType;    // sysfs "type" of a serial port; "0" is unknown
};

// The filters, apart from udev, so they can be checked on made-up devices.
bool IsKeyboardScanner(const UdevDeviceFacts& usbDevice);
bool IsUsbScannerPort(const UdevDeviceFacts& tty);
bool IsSerialPort(const UdevDeviceFacts& tty);

}  // namespace varnet
