// SPDX-License-Identifier: Apache-2.0
// Serial ports come from the registry's SERIALCOMM key, as on every Windows
// since NT. The scanners' USB devices come from SetupAPI: present devices of
// the USB enumerator, their instance ids (USB\VID_5F3C&PID_0187\...), and
// for a virtual port the PortName value of the device's hardware key. Wine
// lists no USB devices through SetupAPI, so only Windows runs that part;
// the id matching it relies on is shared with Linux and tested there.
#include <windows.h>
// After windows.h:
#include <setupapi.h>

#include "platform/port_discovery.h"
#include "platform/win32_helpers.h"

namespace varnet::platform {

namespace {

// MAX_DEVICE_ID_LEN of cfgmgr32.h: an instance id and its terminator fit.
constexpr DWORD kMaxDeviceIdLen = 200;

// A string value of an open key; empty when it is missing or not a string.
std::wstring StringValue(HKEY key, const wchar_t* name) {
  wchar_t data[256];
  DWORD type = 0, size = sizeof data - sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  data[size / sizeof(wchar_t)] = L'\0';  // the stored string need not end in one
  return data;
}

// Calls each(instance id, device) for every present device of the USB enumerator.
template <typename F>
void EachUsbDevice(F each) {
  HDEVINFO set = SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    wchar_t id[kMaxDeviceIdLen];
    if (!SetupDiGetDeviceInstanceIdW(set, &device, id, kMaxDeviceIdLen, nullptr)) continue;
    each(ParseUsbInstanceId(win32::Utf8(id, wcslen(id))), set, device);
  }
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

int CountKeyboardScanners() {
  int n = 0;
  // The device itself, not each of its HID interfaces.
  EachUsbDevice([&](const UsbInstance& u, HDEVINFO, SP_DEVINFO_DATA&) {
    if (u.usb && !u.isInterface && IsScannerKeyboard(u.vendor, u.product)) ++n;
  });
  return n;
}

std::vector<std::string> ListUsbScannerPorts() {
  std::vector<std::string> ports;
  EachUsbDevice([&](const UsbInstance& u, HDEVINFO set, SP_DEVINFO_DATA& device) {
    if (!u.usb || !IsScannerVirtualPort(u.vendor, u.product)) return;
    // The hardware key holds what Device Parameters shows: PortName = COMn.
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return;
    const std::wstring name = StringValue(key, L"PortName");
    RegCloseKey(key);
    if (name.find(L"COM") != std::wstring::npos) ports.push_back(win32::Utf8(name));
  });
  return ports;
}

std::vector<std::string> ListSerialPorts() {
  std::vector<std::string> ports;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256], data[256];
    DWORD nameLen = 256, type = 0, size = sizeof data - sizeof(wchar_t);
    const LONG rc = RegEnumValueW(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
    data[size / sizeof(wchar_t)] = L'\0';
    const std::wstring port = data;
    if (port.find(L"COM") != std::wstring::npos) ports.push_back(win32::Utf8(port));
  }
  RegCloseKey(key);
  return ports;
}

}  // namespace varnet::platform
