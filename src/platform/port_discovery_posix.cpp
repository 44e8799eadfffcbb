// SPDX-License-Identifier: Apache-2.0
#include <libudev.h>

#include <algorithm>
#include <cctype>

#include "platform/port_discovery.h"
#include "platform/udev_devices.h"

namespace varnet::platform {

namespace {

std::string Lower(const char* s) {
  std::string r = s ? s : "";
  std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return r;
}

std::string Attr(udev_device* d, const char* name) {
  const char* v = d ? udev_device_get_sysattr_value(d, name) : nullptr;
  return v ? v : "";
}

UdevDeviceFacts Facts(udev_device* dev) {
  UdevDeviceFacts f;
  f.subsystem = Lower(udev_device_get_subsystem(dev));
  f.sysname = udev_device_get_sysname(dev) ? udev_device_get_sysname(dev) : "";
  udev_device* usb =
      f.subsystem == "usb" ? dev : udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
  if (usb) {
    f.usbVendor = Lower(udev_device_get_sysattr_value(usb, "idVendor"));
    f.usbProduct = Lower(udev_device_get_sysattr_value(usb, "idProduct"));
  }
  if (udev_device* parent = udev_device_get_parent(dev)) {
    f.hasParent = true;
    f.parentDriver = Lower(udev_device_get_driver(parent));
  }
  f.serialType = Attr(dev, "type");
  return f;
}

template <typename F>
void Enumerate(const char* subsystem, F each) {
  udev* u = udev_new();
  if (!u) return;
  udev_enumerate* e = udev_enumerate_new(u);
  if (e) {
    udev_enumerate_add_match_subsystem(e, subsystem);
    udev_enumerate_scan_devices(e);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
      udev_device* d = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
      if (!d) continue;
      each(Facts(d));
      udev_device_unref(d);
    }
    udev_enumerate_unref(e);
  }
  udev_unref(u);
}

// Four hex digits, as udev gives vendor and product ids.
bool Hex16(const std::string& s, uint16_t& value) {
  if (s.size() != 4 || !std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isxdigit(c); })) return false;
  value = uint16_t(std::stoul(s, nullptr, 16));
  return true;
}

bool HasIds(const UdevDeviceFacts& d, bool (*match)(uint16_t, uint16_t)) {
  uint16_t vendor = 0, product = 0;
  return Hex16(d.usbVendor, vendor) && Hex16(d.usbProduct, product) && match(vendor, product);
}

std::vector<std::string> SortedTtys(bool (*filter)(const UdevDeviceFacts&)) {
  std::vector<std::string> ports;
  Enumerate("tty", [&](const UdevDeviceFacts& f) {
    if (filter(f)) ports.push_back(f.sysname);
  });
  std::sort(ports.begin(), ports.end());
  return ports;
}

}  // namespace

bool IsKeyboardScanner(const UdevDeviceFacts& d) {
  // One USB device per scanner, whatever number of HID interfaces it has.
  return d.subsystem == "usb" && HasIds(d, IsScannerKeyboard);
}

bool IsUsbScannerPort(const UdevDeviceFacts& d) { return d.subsystem == "tty" && HasIds(d, IsScannerVirtualPort); }

bool IsSerialPort(const UdevDeviceFacts& d) {
  if (d.subsystem != "tty" || !d.hasParent) return false;
  // The 8250 driver registers placeholder ports that have no hardware.
  if (d.parentDriver == "serial8250" && (d.serialType.empty() || d.serialType == "0")) return false;
  return true;
}

int CountKeyboardScanners() {
  int n = 0;
  Enumerate("usb", [&](const UdevDeviceFacts& f) {
    if (IsKeyboardScanner(f)) ++n;
  });
  return n;
}

std::vector<std::string> ListUsbScannerPorts() { return SortedTtys(IsUsbScannerPort); }

std::vector<std::string> ListSerialPorts() { return SortedTtys(IsSerialPort); }

}  // namespace varnet::platform
