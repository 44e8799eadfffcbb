// SPDX-License-Identifier: Apache-2.0
#include "link/udev_registry.h"

#include <libudev.h>

#include <algorithm>

namespace varnet {

namespace {

constexpr const char* kVendor = "5f3c";

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

class UdevRegistry : public DeviceRegistry {
 public:
  int CountKeyboardScanners() override {
    int n = 0;
    Enumerate("usb", [&](const UdevDeviceFacts& f) {
      if (IsKeyboardScanner(f)) ++n;
    });
    return n;
  }
  std::vector<std::string> ListUsbScannerPorts() override {
    std::vector<std::string> ports;
    Enumerate("tty", [&](const UdevDeviceFacts& f) {
      if (IsUsbScannerPort(f)) ports.push_back(f.sysname);
    });
    std::sort(ports.begin(), ports.end());
    if (ports.size() > kDeviceTableSize) ports.resize(kDeviceTableSize);
    return ports;
  }
  std::vector<std::string> ListSerialPorts() override {
    std::vector<std::string> ports;
    Enumerate("tty", [&](const UdevDeviceFacts& f) {
      if (IsSerialPort(f)) ports.push_back(f.sysname);
    });
    std::sort(ports.begin(), ports.end());
    if (ports.size() > kDeviceTableSize) ports.resize(kDeviceTableSize);
    return ports;
  }

 private:
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
};

}  // namespace

bool IsKeyboardScanner(const UdevDeviceFacts& d) {
  // One USB device per scanner, whatever number of HID interfaces it has.
  if (d.subsystem != "usb" || d.usbVendor != kVendor || d.usbProduct.size() != 4) return false;
  return d.usbProduct.compare(0, 3, "019") == 0 && std::isxdigit(static_cast<unsigned char>(d.usbProduct[3]));
}

bool IsUsbScannerPort(const UdevDeviceFacts& d) {
  return d.subsystem == "tty" && d.usbVendor == kVendor && d.usbProduct == "0187";
}

bool IsSerialPort(const UdevDeviceFacts& d) {
  if (d.subsystem != "tty" || !d.hasParent) return false;
  // The 8250 driver registers placeholder ports that have no hardware.
  if (d.parentDriver == "serial8250" && (d.serialType.empty() || d.serialType == "0")) return false;
  return true;
}

std::unique_ptr<DeviceRegistry> MakeSystemRegistry() { return std::make_unique<UdevRegistry>(); }

}  // namespace varnet
